// TZelHelp: the module that opens the program's help and puts its topics into the
// main window's Help menu.
//
// The help is a folder of HTML pages, one page per topic, shown in the desktop's
// browser through the platform's help viewer (HelpViewer.h). Which help is used is
// decided once, at construction: the help file named to the application
// (TZelApplication::GetHelpFile) when one is set, else the folder "help" beside the
// program. The folder is used even when it is missing; the browser then reports the
// missing page.
//
// Pages and web addresses open through OpenHelpUrl (below), which the About box's links
// use too: when the desktop cannot open one (no xdg-open and no browser, or an xdg-open
// that finds no program for it), a message names the page's path or the address, so
// that the user can open it by hand.
//
// A help folder ("HTML help") opens the page of each topic; a help file that is a
// single document (a PDF, one HTML file) is opened whole, whatever the topic.
//
// Topics (context numbers) and their pages in the help folder:
//   0  Contents            index.html            Help > Contents, F1
//   20 Getting Started     getting-started.html  Help > Getting Started
//   30 Technical Support   support.html          Help > Technical Support
// Any other context opens the contents.
//
// The module can show Getting Started once at start: when ShowGettingStarted is set at
// Initialize, a deferred call shows topic 20 after start-up and clears the flag. The
// flag starts False and only a stored value replaces a flag that is set, so the
// program never shows the topic by itself and stores 0.
//
// Settings node: id 1 tagged kSettingsGuid, value 1 ShowGettingStarted as a byte.
//
// It needs the main window (MainForm) from its construction until it is freed; the
// menu items go with the module.

#ifndef QUILL_FRAMEWORK_ZELHELP_H_
#define QUILL_FRAMEWORK_ZELHELP_H_

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <cstdint>

#include "ZelForms.h"

class QAction;

namespace quill {

// Opens Url with the help viewer in use (HelpViewer.h). When the desktop cannot open it,
// at once or when its opener fails, shows a message (string 1040) with the path of a
// local file, or the whole address of anything else.
void OpenHelpUrl(const QUrl& url);

}  // namespace quill

class TZelHelp : public TZelModule {
 public:
  // The settings node's tag.
  static const QUuid kSettingsGuid;

  // The topics' context numbers.
  static constexpr int32_t kContentsTopic = 0;
  static constexpr int32_t kGettingStartedTopic = 20;
  static constexpr int32_t kTechnicalSupportTopic = 30;

  // Chooses the help (see above) and stores it with SetHelpFile.
  explicit TZelHelp(quill::TZelComponent* owner);
  // Takes its menu items out of the Help menu.
  ~TZelHelp() override;

  // Adds the menu items (CreateMenu).
  void AfterConstruction() override;

  // Stores FileName; IsHtmlHelp := it is not an existing file, so it is taken as the
  // folder of topic pages.
  void SetHelpFile(const QString& fileName);
  QString GetHelpFile() const { return helpFile_; }
  bool GetIsHtmlHelp() const { return isHtmlHelp_; }

  // Appends to the Help menu: Contents (shortcut F1), a separator, Getting Started,
  // Technical Support. Each item shows its topic.
  virtual void CreateMenu();

  // Opens the page of Context (a help folder) or the help file itself, with
  // OpenHelpUrl.
  void ShowTopic(int32_t context);
  // The address ShowTopic opens for Context.
  QUrl TopicUrl(int32_t context) const;

  bool GetShowGettingStarted() const { return showGettingStarted_; }
  void SetShowGettingStarted(bool value) { showGettingStarted_ = value; }

  // The menu captions.
  void Localize() override;
  // Replaces a set ShowGettingStarted by the stored value, when there is one.
  void LoadState(TZelSDFReader& reader) override;
  void SaveState(TZelSDFWriter& writer) override;
  // Queues Getting Started when ShowGettingStarted is set; then the inherited Initialize.
  void Initialize() override;

  QAction* GetContentsMenuItem() const { return ContentsMenuItem; }
  QAction* GetGettingStartedMenuItem() const { return GettingStartedMenuItem; }
  QAction* GetTechnicalSupportMenuItem() const { return TechnicalSupportMenuItem; }

  // The folder of help pages beside the program.
  static QString ProgramHelpFolder();

 private:
  // The deferred call of Initialize: topic 20, then the flag is cleared.
  void ShowGettingStartedOnce();

  QPointer<QAction> ContentsMenuItem;
  QPointer<QAction> ContentsMenuSeparator;
  QPointer<QAction> GettingStartedMenuItem;
  QPointer<QAction> TechnicalSupportMenuItem;
  QString helpFile_;
  bool isHtmlHelp_ = false;
  bool showGettingStarted_ = false;
};

#endif  // QUILL_FRAMEWORK_ZELHELP_H_
