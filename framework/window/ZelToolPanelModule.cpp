#include "ZelToolPanelModule.h"

#include <QAction>
#include <QMenu>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <iterator>
#include <stdexcept>

#include "LittleEndian.h"
#include "MainForm.h"
#include "ZelDockablePanel.h"
#include "ZelFlowToolbar.h"
#include "ZelLocalizer.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"

namespace {

// The caption of the panel and of its View-menu item.
constexpr int32_t kCaptionId = 176;

// The tool frame is this much higher than its toolbar.
constexpr int kToolFrameExtraHeight = 6;

constexpr int kBorderSize = 8;
constexpr int kInitialWidth = 200;

// The dock areas by the record's side byte.
constexpr Qt::DockWidgetArea kSideAreas[] = {Qt::TopDockWidgetArea, Qt::BottomDockWidgetArea,
                                             Qt::LeftDockWidgetArea, Qt::RightDockWidgetArea};
constexpr uint8_t kRightSide = 3;

uint8_t SideOfArea(Qt::DockWidgetArea area) {
  for (uint8_t side = 0; side < std::size(kSideAreas); ++side) {
    if (kSideAreas[side] == area) return side;
  }
  return kRightSide;
}

TMainForm& RequireMainForm() {
  if (MainForm == nullptr) throw std::logic_error("The tool panel needs the main window.");
  return *MainForm;
}

}  // namespace

// ---- TZelToolFrame ----

TZelToolFrame::TZelToolFrame(quill::TZelComponent* owner, QWidget* parent)
    : TZelFrame(owner, parent), toolbar_(new quill::TZelFlowToolbar(this)) {
  toolbar_->OnResize = [this] { ToolbarResize(); };
  setFixedHeight(quill::TZelFlowToolbar::kRowHeight + kToolFrameExtraHeight);
}

void TZelToolFrame::ToolbarResize() { setFixedHeight(toolbar_->height() + kToolFrameExtraHeight); }

void TZelToolFrame::resizeEvent(QResizeEvent* event) {
  TZelFrame::resizeEvent(event);
  toolbar_->setGeometry(0, 0, width(), toolbar_->heightForWidth(width()));
}

// ---- TZelToolPanelModule ----

TZelToolPanelModule* ToolPanelModule = nullptr;

const QUuid TZelToolPanelModule::kSettingsGuid("{9FC124C8-2014-4832-8878-3489538D623F}");

TZelToolPanelModule::TZelToolPanelModule(quill::TZelComponent* owner)
    : TZelModuleWithControls(owner), mainForm_(RequireMainForm()) {
  panel_ = mainForm_.CreateDockablePanel();
  panel_->setWindowTitle(GetLocalizedString(kCaptionId));
  panel_->SetBorderSize(kBorderSize);
  panel_->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  panel_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
  mainForm_.addDockWidget(Qt::RightDockWidgetArea, panel_);
  panel_->SetDockedWidth(kInitialWidth);

  auto* layout = new QVBoxLayout(panel_->GetClient());
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  toolFrame_ = quill::ZelCreate<TZelToolFrame>(this);
  layout->addWidget(toolFrame_);
  toolbar_ = toolFrame_->GetToolbar();
  toolbar_->SetIconSize(mainForm_.GetImageList().GetSize());
  toolAreas_ = new QStackedWidget(panel_->GetClient());
  layout->addWidget(toolAreas_, 1);

  visibleMenuItem_ = mainForm_.AddMenuItem(
      GetLocalizedString(kCaptionId), 0, mainForm_.ToolbarsMenuItem->menuAction(),
      mainForm_.ViewMenuItem, -1, [this] { SetPanelVisible(!GetPanelVisible()); });
  visibleMenuItem_->setCheckable(true);
}

TZelToolPanelModule::~TZelToolPanelModule() {
  delete visibleMenuItem_;
  if (ToolPanelModule == this) ToolPanelModule = nullptr;
}

void TZelToolPanelModule::AddToolArea(QWidget& control) {
  auto* area = new QScrollArea(toolAreas_);
  area->setFrameShape(QFrame::NoFrame);
  area->setWidgetResizable(true);
  area->setWidget(&control);
  toolAreas_->addWidget(area);
  toolAreas_->setCurrentWidget(area);
}

void TZelToolPanelModule::BringToFront(QWidget* control) {
  for (int i = 0; i < toolAreas_->count(); ++i) {
    const auto* area = static_cast<QScrollArea*>(toolAreas_->widget(i));
    if (control != nullptr && area->widget() == control) {
      toolAreas_->setCurrentIndex(i);
      return;
    }
  }
}

void TZelToolPanelModule::SetPanelVisible(bool visible) { panel_->setVisible(visible); }

// Read as "not hidden": at exit, when the state is saved, the window has closed and no
// panel of it counts as visible any more.
bool TZelToolPanelModule::GetPanelVisible() const { return !panel_->isHidden(); }

void TZelToolPanelModule::SetPanelWidth(int width) {
  if (width < panel_->GetMinClientWidth()) return;
  panel_->SetMaxClientWidth(width);
  panel_->SetMinClientWidth(width);
  panel_->SetDockedWidth(width);
}

void TZelToolPanelModule::UpdateControls() {
  if (visibleMenuItem_ != nullptr) visibleMenuItem_->setChecked(GetPanelVisible());
}

void TZelToolPanelModule::Localize() {
  const QString caption = GetLocalizedString(kCaptionId);
  panel_->setWindowTitle(caption);
  if (visibleMenuItem_ != nullptr) visibleMenuItem_->setText(caption);
}

TZelToolPanelModule::TDockRecord TZelToolPanelModule::MakeDockRecord() const {
  TDockRecord record{};
  quill::PutInt32LE(record.data(), kDockRecordSize);
  record[4] = GetPanelVisible() ? 1 : 0;
  record[22] = SideOfArea(mainForm_.dockWidgetArea(panel_));
  quill::PutInt32LE(record.data() + 31, panel_->width());
  quill::PutInt32LE(record.data() + 35, panel_->height());
  return record;
}

void TZelToolPanelModule::ApplyDockRecord(const TDockRecord& record) {
  if (quill::GetInt32LE(record.data()) != kDockRecordSize) return;
  // Flag bytes count as set when not 0.
  const bool floating = record[5] != 0;
  const uint8_t side = record[22];
  // A floating record names no dock, and this panel cannot float; a side without a
  // dock for this panel names none either. The panel then stays where it is.
  if (!floating && side < std::size(kSideAreas) && panel_->isAreaAllowed(kSideAreas[side])) {
    mainForm_.addDockWidget(kSideAreas[side], panel_);
    const int32_t width = quill::GetInt32LE(record.data() + 31);
    if (width > 0 && width <= QWIDGETSIZE_MAX) panel_->SetDockedWidth(width);
  }
  SetPanelVisible(record[4] != 0);
}

void TZelToolPanelModule::SaveState(TZelSDFWriter& writer) {
  const TDockRecord record = MakeDockRecord();
  writer.BeginGuidNode(1, kSettingsGuid);
  writer.WriteBlob(1, record.data(), kDockRecordSize);
  writer.EndNode();
}

void TZelToolPanelModule::LoadState(TZelSDFReader& reader) {
  if (!reader.EnterGuidNode(1, kSettingsGuid)) return;
  TDockRecord record{};
  if (reader.ReadBlob(1, record.data(), kDockRecordSize)) ApplyDockRecord(record);
  reader.LeaveNode();
}
