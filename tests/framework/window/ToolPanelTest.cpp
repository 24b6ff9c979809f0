#include <QAction>
#include <QMenu>
#include <QScrollArea>
#include <QStackedWidget>
#include <QToolButton>
#include <QtEndian>

#include "MainWindowTesting.h"
#include "QtPrinters.h"
#include "ZelDockablePanel.h"
#include "ZelFlowToolbar.h"
#include "ZelToolPanelModule.h"

namespace {

using TDockRecord = TZelToolPanelModule::TDockRecord;

int32_t Int32At(const TDockRecord& record, int offset) {
  return qFromLittleEndian<qint32>(record.data() + offset);
}

void PutInt32(TDockRecord& record, int offset, int32_t value) {
  qToLittleEndian<qint32>(value, record.data() + offset);
}

// A docked record: size 47, Visible, docked on Side, 280 wide.
TDockRecord DockedRecord(uint8_t visible, uint8_t side) {
  TDockRecord record{};
  PutInt32(record, 0, TZelToolPanelModule::kDockRecordSize);
  record[4] = visible;
  record[22] = side;
  PutInt32(record, 31, 280);
  PutInt32(record, 35, 400);
  return record;
}

// An option frame, as a tool makes it.
class OptionFrame : public TZelFrame {
  Q_OBJECT

 public:
  explicit OptionFrame(quill::TZelComponent* owner) : TZelFrame(owner) {}
};

class ToolPanelTest : public quill::MainWindowTest {
 protected:
  void SetUp() override {
    quill::MainWindowTest::SetUp();
    CreatePanel();
  }
  void CreatePanel() {
    module_ = nullptr;
    ZelApplication->CreateComponent(module_);
  }
  // The panel as the composition root fixes it: 264 pixels inside.
  void FixWidth() {
    module_->GetPanel()->SetMaxClientWidth(264);
    module_->GetPanel()->SetMinClientWidth(264);
  }
  Qt::DockWidgetArea Side() const { return MainForm->dockWidgetArea(module_->GetPanel()); }
  QAction* AddTool(const QString& caption) {
    QAction* button = nullptr;
    MainForm->AddToolbarButton(module_->GetToolbar(), &MainForm->GetImageList(), nullptr, caption,
                               quill::kUndoImage, {}, button);
    return button;
  }

  TZelToolPanelModule* module_ = nullptr;
};

TEST_F(ToolPanelTest, DocksOnTheRightAndPutsItsItemBeforeTheToolbarsMenu) {
  quill::TZelDockablePanel* panel = module_->GetPanel();
  EXPECT_EQ(Side(), Qt::RightDockWidgetArea);
  EXPECT_EQ(panel->allowedAreas(), Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  EXPECT_FALSE(panel->features().testFlag(QDockWidget::DockWidgetFloatable));
  EXPECT_EQ(panel->GetBorderSize(), 8);
  EXPECT_EQ(panel->windowTitle(), "Tools");

  const QList<QAction*> view = MainForm->ViewMenuItem->actions();
  ASSERT_EQ(view.size(), 4);
  EXPECT_EQ(view[0], module_->GetVisibleMenuItem());
  EXPECT_EQ(view[1], MainForm->ToolbarsMenuItem->menuAction());

  ZelApplication->LoadSettings();
  SetLanguage(1031);
  EXPECT_EQ(panel->windowTitle(), "Werkzeuge");
  EXPECT_EQ(module_->GetVisibleMenuItem()->text(), "Werkzeuge");
}

TEST_F(ToolPanelTest, TheViewMenuItemShowsAndHidesThePanel) {
  QAction* item = module_->GetVisibleMenuItem();
  MainForm->show();
  module_->UpdateControls();
  EXPECT_TRUE(item->isChecked());
  item->trigger();
  module_->UpdateControls();
  EXPECT_FALSE(module_->GetPanelVisible());
  EXPECT_FALSE(item->isChecked());
  item->trigger();
  module_->UpdateControls();
  EXPECT_TRUE(module_->GetPanel()->isVisible());
  EXPECT_TRUE(item->isChecked());
  MainForm->close();
}

TEST_F(ToolPanelTest, AWidthBelowTheMinimumIsIgnored) {
  quill::TZelDockablePanel* panel = module_->GetPanel();
  FixWidth();
  EXPECT_EQ(panel->GetMinClientWidth(), 264);
  EXPECT_EQ(panel->GetMaxClientWidth(), 264);
  module_->SetPanelWidth(200);
  EXPECT_EQ(panel->GetMinClientWidth(), 264);
  EXPECT_EQ(panel->GetMaxClientWidth(), 264);
  module_->SetPanelWidth(272);
  EXPECT_EQ(panel->GetMinClientWidth(), 272);
  EXPECT_EQ(panel->GetMaxClientWidth(), 272);
  module_->SetPanelWidth(264);
  EXPECT_EQ(panel->GetMaxClientWidth(), 272);

  MainForm->resize(900, 600);
  MainForm->show();
  ProcessEvents();
  EXPECT_EQ(panel->GetClient()->width(), 272);
  MainForm->close();
}

TEST_F(ToolPanelTest, WritesTheDockedGroupWithZerosElsewhere) {
  FixWidth();
  MainForm->resize(900, 600);
  MainForm->show();
  ProcessEvents();
  const TDockRecord record = module_->MakeDockRecord();
  EXPECT_EQ(Int32At(record, 0), 47);
  EXPECT_EQ(record[4], 1);
  EXPECT_EQ(record[5], 0);
  EXPECT_EQ(record[22], 3);
  EXPECT_EQ(Int32At(record, 31), module_->GetPanel()->width());
  EXPECT_GE(Int32At(record, 31), 264 + 2 * 8);
  EXPECT_EQ(Int32At(record, 35), module_->GetPanel()->height());
  for (int offset : {6, 10, 14, 18, 23, 27, 39, 43})
    EXPECT_EQ(Int32At(record, offset), 0) << offset;

  const QByteArray saved =
      quill::SavedBytes([this](TZelSDFWriter& writer) { module_->SaveState(writer); });
  EXPECT_TRUE(saved.endsWith(QByteArray("\x55\x01\x0E\x2F", 4) +
                             QByteArray(reinterpret_cast<const char*>(record.data()), 47) + '\0'));

  // Closed, as when the state is written at exit, the panel still counts as shown.
  MainForm->close();
  EXPECT_EQ(module_->MakeDockRecord()[4], 1);
}

TEST_F(ToolPanelTest, ARestartRestoresTheSideAndTheHiddenState) {
  FixWidth();
  ZelApplication->LoadSettings();
  MainForm->addDockWidget(Qt::LeftDockWidgetArea, module_->GetPanel());
  MainForm->show();
  module_->GetVisibleMenuItem()->trigger();  // hidden through the View menu
  MainForm->close();
  ZelApplication->SaveSettings();

  Start();
  CreatePanel();
  FixWidth();
  ZelApplication->LoadSettings();
  EXPECT_EQ(Side(), Qt::LeftDockWidgetArea);
  EXPECT_FALSE(module_->GetPanelVisible());
  module_->UpdateControls();
  EXPECT_FALSE(module_->GetVisibleMenuItem()->isChecked());
  MainForm->show();
  EXPECT_FALSE(module_->GetPanel()->isVisible());
  MainForm->close();
}

TEST_F(ToolPanelTest, ARecordOfAnotherSizeAppliesNothing) {
  TDockRecord wrongSize = DockedRecord(0, 2);
  PutInt32(wrongSize, 0, 46);
  module_->ApplyDockRecord(wrongSize);
  EXPECT_EQ(Side(), Qt::RightDockWidgetArea);
  EXPECT_TRUE(module_->GetPanelVisible());

  // A value of another length is not read at all.
  const TDockRecord left = DockedRecord(0, 2);
  for (int length : {46, 48}) {
    QByteArray value(reinterpret_cast<const char*>(left.data()), 47);
    value.resize(length);
    quill::LoadBytes(quill::SavedBytes([&value](TZelSDFWriter& writer) {
                writer.BeginGuidNode(1, TZelToolPanelModule::kSettingsGuid);
                writer.WriteBlob(1, value.constData(), static_cast<uint32_t>(value.size()));
                writer.EndNode();
              }),
              [this](TZelSDFReader& reader) { module_->LoadState(reader); });
    EXPECT_EQ(Side(), Qt::RightDockWidgetArea);
    EXPECT_TRUE(module_->GetPanelVisible());
  }
}

TEST_F(ToolPanelTest, AFloatingRecordOrAnUnusableSideKeepsThePanelWhereItIs) {
  TDockRecord floating = DockedRecord(0, 2);
  floating[5] = 1;
  module_->ApplyDockRecord(floating);
  EXPECT_EQ(Side(), Qt::RightDockWidgetArea);
  EXPECT_FALSE(module_->GetPanel()->isFloating());
  EXPECT_FALSE(module_->GetPanelVisible());

  module_->ApplyDockRecord(DockedRecord(1, 0));  // the top: not for this panel
  EXPECT_EQ(Side(), Qt::RightDockWidgetArea);
  EXPECT_TRUE(module_->GetPanelVisible());

  module_->ApplyDockRecord(DockedRecord(1, 2));
  EXPECT_EQ(Side(), Qt::LeftDockWidgetArea);

  // Sides and flags out of range dock nowhere; the visibility still counts.
  TDockRecord oddFloating = DockedRecord(0, 3);
  oddFloating[5] = 7;
  for (const TDockRecord& hidden : {DockedRecord(0, 4), DockedRecord(0, 255), oddFloating}) {
    module_->ApplyDockRecord(DockedRecord(1, 2));
    module_->ApplyDockRecord(hidden);
    EXPECT_EQ(Side(), Qt::LeftDockWidgetArea);
    EXPECT_FALSE(module_->GetPanelVisible());
  }
  module_->ApplyDockRecord(DockedRecord(2, 3));  // a visible byte of 2 is set too
  EXPECT_EQ(Side(), Qt::RightDockWidgetArea);
  EXPECT_TRUE(module_->GetPanelVisible());
}

TEST_F(ToolPanelTest, TheToolFrameGrowsWhenTheToolbarWraps) {
  FixWidth();
  for (int i = 0; i < 9; ++i) AddTool(QString("Tool %1").arg(i));
  MainForm->resize(900, 600);
  MainForm->show();
  ProcessEvents();
  quill::TZelFlowToolbar* toolbar = module_->GetToolbar();
  QWidget* frame = toolbar->parentWidget();
  const int rowHeight = toolbar->height();
  EXPECT_GE(rowHeight, quill::TZelFlowToolbar::kRowHeight);
  EXPECT_EQ(toolbar->width(), 264);
  EXPECT_EQ(frame->height(), rowHeight + 6);

  // One more button than fits in a row.
  const int perRow = 264 / toolbar->GetItemWidget(toolbar->actions()[0])->width();
  for (int i = 9; i <= perRow; ++i) AddTool(QString("Tool %1").arg(i));
  ProcessEvents();
  EXPECT_EQ(toolbar->height(), 2 * rowHeight);
  EXPECT_EQ(frame->height(), 2 * rowHeight + 6);
  MainForm->close();
}

TEST_F(ToolPanelTest, ToolAreasFillThePanelBelowTheToolFrameNewestInFront) {
  OptionFrame* first = nullptr;
  OptionFrame* second = nullptr;
  module_->CreateToolArea(first);
  module_->CreateToolArea(second);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetOwner(), module_);
  auto* area = qobject_cast<QScrollArea*>(first->parentWidget()->parentWidget());
  ASSERT_NE(area, nullptr);
  EXPECT_EQ(area->widget(), first);
  EXPECT_TRUE(area->widgetResizable());
  auto* areas = qobject_cast<QStackedWidget*>(area->parentWidget());
  ASSERT_NE(areas, nullptr);
  EXPECT_TRUE(module_->GetPanel()->GetClient()->isAncestorOf(areas));
  EXPECT_EQ(areas->currentWidget()->findChild<OptionFrame*>(), second);
  module_->BringToFront(first);
  EXPECT_EQ(areas->currentWidget(), area);
}

// ---- The wrapping toolbar alone ----

class FlowToolbarTest : public testing::Test {
 protected:
  QAction* Add(const QString& caption, QAction* before = nullptr) {
    auto* action = new QAction(caption, &toolbar_);
    toolbar_.insertAction(before, action);
    return action;
  }
  QPoint Place(const QAction* action) const { return toolbar_.GetItemWidget(action)->pos(); }

  quill::TZelFlowToolbar toolbar_;
};

TEST_F(FlowToolbarTest, WrapsItsButtonsIntoRowsAndLeavesNoRoomForHiddenOnes) {
  QAction* a = Add("A");
  QAction* c = Add("C");
  QAction* b = Add("B", c);
  EXPECT_EQ(toolbar_.actions(), QList<QAction*>({a, b, c}));
  const QSize button = toolbar_.GetItemWidget(a)->sizeHint();
  const int row = std::max(button.height(), quill::TZelFlowToolbar::kRowHeight);

  toolbar_.resize(2 * button.width(), 10);  // the height follows from the width
  toolbar_.show();
  EXPECT_EQ(toolbar_.heightForWidth(3 * button.width()), row);
  EXPECT_EQ(toolbar_.heightForWidth(2 * button.width()), 2 * row);
  EXPECT_EQ(toolbar_.heightForWidth(button.width() - 1), 3 * row);
  EXPECT_EQ(Place(a), QPoint(0, 0));
  EXPECT_EQ(Place(b), QPoint(button.width(), 0));
  EXPECT_EQ(Place(c), QPoint(0, row));

  int resized = 0;
  toolbar_.OnResize = [&resized] { ++resized; };
  b->setVisible(false);
  EXPECT_EQ(toolbar_.height(), row);
  EXPECT_EQ(Place(c), QPoint(button.width(), 0));
  EXPECT_EQ(resized, 1);

  toolbar_.removeAction(a);
  EXPECT_EQ(toolbar_.GetItemWidget(a), nullptr);
  EXPECT_EQ(Place(c), QPoint(0, 0));
  EXPECT_EQ(toolbar_.heightForWidth(0), row);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(toolbar_.findChildren<QToolButton*>().size(), 2);
}

}  // namespace

#include "ToolPanelTest.moc"
