// The tool panel: the panel at a side of the main window that holds the tools. At its
// top a toolbar with one button per tool; below it the option area of the current tool.
//
// TZelToolPanelModule makes the panel (docked on the right; it may move to the left,
// never float, never dock at the top or bottom), its toolbar frame and the View-menu
// item that shows and hides it. Each tool adds its button to GetToolbar() (through
// TMainForm::AddToolbarButton) and makes its option frame with CreateToolArea. The
// panel's side, width and visibility are kept in the settings file.
//
// It needs the main window (MainForm) from its construction until it is freed.

#ifndef QUILL_FRAMEWORK_ZELTOOLPANELMODULE_H_
#define QUILL_FRAMEWORK_ZELTOOLPANELMODULE_H_

#include <QPointer>
#include <QUuid>

#include <array>
#include <cstdint>
#include <type_traits>

#include "ZelForms.h"

class QAction;
class QStackedWidget;
class TMainForm;

namespace quill {
class TZelDockablePanel;
class TZelFlowToolbar;
}  // namespace quill

// The frame at the top of the tool panel: the tools' toolbar, full width, wrapping its
// buttons into as many rows as the width needs. The frame is 6 pixels higher than the
// toolbar.
class TZelToolFrame : public TZelFrame {
  Q_OBJECT

 public:
  explicit TZelToolFrame(quill::TZelComponent* owner, QWidget* parent = nullptr);

  quill::TZelFlowToolbar* GetToolbar() const { return toolbar_; }
  // The toolbar's size changed: the frame's height follows it.
  void ToolbarResize();

 protected:
  // The toolbar takes the frame's width and the height its rows need.
  void resizeEvent(QResizeEvent* event) override;

 private:
  quill::TZelFlowToolbar* const toolbar_;
};

class TZelToolPanelModule : public TZelModuleWithControls {
 public:
  // The settings node's tag.
  static const QUuid kSettingsGuid;

  // The dock record, value 1 of the settings node: 47 bytes, little-endian.
  //   0 (4) its size, 47    4 (1) visible, 0 or 1    5 (1) floating, 0 or 1
  //   6 (16) floating left, top, width, height (4 each)
  //   22 (1) side: 0 top, 1 bottom, 2 left, 3 right
  //   23 (4) position in the row   27 (4) row   31 (4) width   35 (4) height
  //   39 (4) split width           43 (4) split height
  // Only the group that the floating byte names is significant. This panel never
  // floats: it writes the docked group with zeros in the floating group. Each side
  // holds one row of panels and this program docks one panel there, so position and
  // row are 0; the split sizes are unused and 0; the height is the side's height.
  static constexpr int kDockRecordSize = 47;
  using TDockRecord = std::array<uint8_t, kDockRecordSize>;

  explicit TZelToolPanelModule(quill::TZelComponent* owner);
  // Takes the View-menu item with it; the panel stays with the main window.
  ~TZelToolPanelModule() override;

  // A new control of class T (a TZelFrame, or another widget and component constructed
  // from its owner) owned by this module, stored into Control before it is set up and
  // cleared when setting up throws (the exception passes on). It goes into a scroll
  // area that fills the panel below the tool frame; the newest area is in front.
  template <class T>
  T* CreateToolArea(T*& control);
  // Brings the area of Control, made by CreateToolArea, to the front.
  void BringToFront(QWidget* control);

  void SetPanelVisible(bool visible);
  bool GetPanelVisible() const;
  // Ignored when Width is below the panel's minimum client width; otherwise the
  // client width is fixed at Width.
  void SetPanelWidth(int width);

  quill::TZelDockablePanel* GetPanel() const { return panel_; }
  quill::TZelFlowToolbar* GetToolbar() const { return toolbar_; }
  QAction* GetVisibleMenuItem() const { return visibleMenuItem_; }

  // The View-menu item is checked while the panel is visible.
  void UpdateControls() override;
  // The panel's caption and the View-menu item's caption.
  void Localize() override;
  void SaveState(TZelSDFWriter& writer) override;
  // Applies a dock record of exactly kDockRecordSize bytes (ApplyDockRecord).
  void LoadState(TZelSDFReader& reader) override;

  TDockRecord MakeDockRecord() const;
  // Applies Record when its size field is 47; otherwise nothing. A flag byte other
  // than 0 counts as set. A floating record (this panel cannot float) and a side byte
  // that names no side where this panel can dock keep the panel where it is; the
  // visibility is applied all the same.
  void ApplyDockRecord(const TDockRecord& record);

 private:
  void AddToolArea(QWidget& control);

  TMainForm& mainForm_;
  QPointer<QAction> visibleMenuItem_;
  quill::TZelDockablePanel* panel_;
  quill::TZelFlowToolbar* toolbar_;
  TZelToolFrame* toolFrame_;
  QStackedWidget* toolAreas_;
};

// The one tool panel, from its creation (TZelApplication::CreateComponent stores it
// here before its constructor runs) until it is freed. The tools reach it here.
extern TZelToolPanelModule* ToolPanelModule;

// ---- Templates ----

template <class T>
T* TZelToolPanelModule::CreateToolArea(T*& control) {
  static_assert(std::is_base_of_v<QWidget, T> && std::is_base_of_v<quill::TZelComponent, T>,
                "a tool area is a widget and a component");
  control = quill::ZelCreate<T>(this);
  try {
    AddToolArea(*control);
  } catch (...) {
    delete control;
    control = nullptr;
    throw;
  }
  return control;
}

#endif  // QUILL_FRAMEWORK_ZELTOOLPANELMODULE_H_
