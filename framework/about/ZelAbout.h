// The About box: Help > About and the dialog it opens.
//
// TZelAbout appends a separator and the About item to the main window's Help menu.
// The item opens TZelAboutForm modally: a tab control whose display area is covered by
// the logo picture (TZelLogoBackground), with text labels laid over the picture from
// a table of entries (TZelAboutEntry) that the program hands to the module with
// SetAboutInfo. Labels may be links: they show the host of a web address and open the
// whole address in the browser when clicked (quill::OpenHelpUrl, which names the
// address in a message when the desktop cannot open it). The module keeps nothing in
// the settings file.
//
// The label layout (BuildLabels): positions in the table are pixels of the logo
// picture, scaled to the logo control by its width (MulDiv(value, control width,
// picture width)). Each label goes where its entry says, else below the previous
// label or line of labels, or, with kAboutSameLine, one average character width to
// the right of the previous label. The box reads at most as many entries as the table
// holds, whatever count it is given.
//
// The logo is an SVG picture among the program's resources, found under its name in
// upper case (":/rcdata/ABOUT" for "About").
//
// Main thread only.

#ifndef QUILL_FRAMEWORK_ZELABOUT_H_
#define QUILL_FRAMEWORK_ZELABOUT_H_

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ZelForms.h"

class QAction;
class QLabel;
class QSvgRenderer;
class QTabBar;
class QUrl;

namespace quill {

// Flags of an About label.
constexpr uint8_t kAboutBold = 0x01;
constexpr uint8_t kAboutSameLine = 0x02;  // continues the line of the previous label
constexpr uint8_t kAboutLink = 0x04;
constexpr uint8_t kAboutWordWrap = 0x08;
constexpr uint8_t kAboutRightAligned = 0x10;
constexpr uint8_t kAboutColon = 0x20;  // appends ":" to the caption
constexpr uint8_t kAboutWhite = 0x40;

// The text of an About label: a string id of the language files, or a fixed text
// (which wins when set). Both constructors are implicit, so that a table lists ids
// and texts alike.
struct AboutText {
  constexpr AboutText(int32_t id) : Id(id) {}
  constexpr AboutText(const char16_t* fixed) : Fixed(fixed) {}
  int32_t Id = 0;
  const char16_t* Fixed = nullptr;
};

}  // namespace quill

// One label of the About box. Positions and sizes are pixels of the logo picture;
// 0 means not given.
struct TZelAboutEntry {
  quill::AboutText Text;
  uint8_t Flags = 0;  // quill::kAbout* bits
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  float LineSpacing = 0;  // extra space above the label, in lines
  int32_t TabIndex = 0;   // the tab that shows the label; -1 every tab
};

// What the box shows. The entries are read up to EntryCount, and never beyond the
// table.
struct TZelAboutInfo {
  std::span<const TZelAboutEntry> Entries;
  int32_t EntryCount = 0;
  QString LogoResourceName;
};

// The host part of a web address: what follows the first ":" and the "/", ":" and "\"
// after it, up to the next of those characters or the end. Empty without a ":".
// "https://example.org/quillmere/" gives "example.org".
QString UrlHostName(const QString& text);

// The address that a link of the About box opens. The program has no web pages of its
// own: its links name a page of the bundled help as "help://" Caption "/" page, whose
// host part is the caption the box shows, and open that page of the "help" folder
// beside the program. Any other text is taken as a web address.
namespace quill {
QUrl AboutLinkUrl(const QString& text);
}  // namespace quill

// Paints the logo picture stretched over the whole control, behind its labels.
class TZelLogoBackground : public QWidget {
  Q_OBJECT

 public:
  explicit TZelLogoBackground(QWidget* parent);
  ~TZelLogoBackground() override;

  // Frees the previous picture, then reads the logo resource ResourceName. False, and
  // no picture, when there is no such resource or it is not a picture.
  bool LoadLogo(const QString& resourceName);
  // The picture's own width in pixels; 0 without a picture.
  int GetPictureWidth() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::unique_ptr<QSvgRenderer> Image;
};

class TZelAboutForm : public TZelForm {
  Q_OBJECT

 public:
  // The form's fixed client size and its tab control's place in it.
  static constexpr int kClientWidth = 499;
  static constexpr int kClientHeight = 334;
  static constexpr QRect kTabControlRect{4, 4, 493, 328};

  // The logo over the tab control, LoadLogo, BuildLabels, and the first tab's labels.
  TZelAboutForm(quill::TZelComponent* owner, const TZelAboutInfo& info);

  // Caption and tab captions: string 47, and GetTabCaption of each tab's number.
  void Localize() override;

  // Shows the labels of the selected tab and those of every tab (-1).
  void AboutTabControlChange();
  // Opens the clicked label's hint, the whole address, when it has one (OpenHelpUrl).
  void LinkLabelClick(const QLabel& label);
  // Tabs 0, 1, 2 are captioned with strings 47, 53, 167; any other tab gets no caption.
  static QString GetTabCaption(int32_t index);
  // For Index > 0: a tab carrying that number, appended when none does yet. Tab 0 is
  // the form's own.
  void EnsureTab(int32_t index);
  // Lays out the labels of the first Count entries (at most the table's size) on the
  // logo control. A PictureWidth of 0 counts as ControlWidth.
  void BuildLabels(int controlWidth, int pictureWidth, int32_t count,
                   std::span<const TZelAboutEntry> entries);

  QTabBar* GetAboutTabControl() const { return AboutTabControl; }
  TZelLogoBackground* GetLogo() const { return logo_; }
  // The labels in table order, with the tab each belongs to.
  struct Label {
    QLabel* Control;
    int32_t TabIndex;
  };
  const std::vector<Label>& GetLabels() const { return labels_; }

 protected:
  // Esc or Enter closes the box.
  void keyPressEvent(QKeyEvent* event) override;
  // A click on a link label.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Centres the box on the main window.
  void showEvent(QShowEvent* event) override;

 private:
  // The tab that carries Number; -1 when none does.
  int FindTab(int32_t number) const;

  QTabBar* AboutTabControl;
  TZelLogoBackground* logo_;
  std::vector<Label> labels_;
};

class TZelAbout : public TZelModule {
 public:
  // Appends a separator and the About item to the Help menu; needs the main window.
  explicit TZelAbout(quill::TZelComponent* owner);
  // Takes its menu items out of the Help menu.
  ~TZelAbout() override;

  // The item's caption: string 47.
  void Localize() override;
  // Stores what the box shows; Entries must outlive the module.
  void SetAboutInfo(std::span<const TZelAboutEntry> entries, int32_t entryCount,
                    const QString& logoResourceName);
  const TZelAboutInfo& GetAboutInfo() const { return info_; }
  // Shows the box modally, then frees it.
  void AboutMenuItemClick();

  QAction* GetAboutMenuItem() const { return AboutMenuItem; }

 private:
  QPointer<QAction> AboutMenuSeparator;
  QPointer<QAction> AboutMenuItem;
  TZelAboutInfo info_;
};

namespace quill {

// Quillmere's About box: the program's name, its help ("Help", the help's contents),
// its support page ("Support", the help's Technical Support page) and the
// notice line with the program's version (the build's QUILL_VERSION, the project's
// version in CMake), over the logo "About".
extern const std::array<TZelAboutEntry, 6> kAboutEntries;
inline constexpr char kAboutLogoResourceName[] = "About";

}  // namespace quill

#endif  // QUILL_FRAMEWORK_ZELABOUT_H_
