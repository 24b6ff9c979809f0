#include "ZelGraphicsEditor.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QStatusBar>
#include <QSvgRenderer>
#include <QToolBar>

#include <algorithm>

#include "MainForm.h"
#include "ZelDemoScript.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsTool.h"
#include "ZelGraphicsView.h"
#include "ZelLocalizer.h"
#include "ZelScrollTool.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"
#include "ZelUtils.h"

TZelGraphicsEditor* GraphicsEditor = nullptr;

namespace {

// One axis of a window's frame, Start and Length, fitted into the work area from
// WorkStart to WorkEnd: kept where it fits, else centred, and no longer than the area.
void FitAxis(int64_t workStart, int64_t workEnd, int64_t& start, int64_t& length) {
  length = std::min(length, workEnd - workStart);
  start = std::max(start, workStart);
  if (start + length > workEnd) start = workStart + (workEnd - workStart - length) / 2;
}

constexpr int32_t kZoomInText = 98;
constexpr int32_t kZoomOutText = 99;
constexpr int32_t kActualSizeFirstText = 133;
constexpr int32_t kActualSizeText = 166;
constexpr int32_t kBestFitText = 178;
constexpr int32_t kPrevImageText = 2104;
constexpr int32_t kNextImageText = 2105;


// The extensions of the folder list, as one text: an extension counts when it occurs
// in it (so ".JPE" and ".TI" count too).
const QString kImageExtensions = QStringLiteral(".ZLI;.JPG;.JPEG;.TIF;.TIFF;.PNG;.BMP;.RLE;.DIB");

bool HasImageExtension(const QString& name) {
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot < 0) return false;
  const QString extension = name.mid(dot).toUpper();
  return extension.size() > 2 && kImageExtensions.contains(extension);
}

// The cursor of the image resource :/cursors/<Name>.svg, its hot spot at the centre;
// the arrow when there is none.
QCursor LoadCursorResource(const QString& name) {
  QSvgRenderer renderer(QStringLiteral(":/cursors/") + name + QStringLiteral(".svg"));
  if (!renderer.isValid()) return QCursor(Qt::ArrowCursor);
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  painter.end();
  return QCursor(pixmap, 16, 16);
}

QLabel* AddStatusPanel(QStatusBar& bar, const QString& caption, Qt::Alignment alignment,
                       int width, bool framed) {
  auto* panel = new QLabel(caption, &bar);
  panel->setAlignment(alignment | Qt::AlignVCenter);
  panel->setFixedWidth(width);
  // Fixed in both directions, a new text repaints the panel alone: Qt lays the status
  // bar out again (and repaints its other widgets) after every text change of a panel
  // whose size may change, and the view changes these on every move and zoom.
  panel->setFixedHeight(panel->sizeHint().height());
  // A framed panel ends its group (X Y, W H, R G B): a line on its right sets the
  // groups apart. A box around the value alone made it look like an input field.
  if (framed) panel->setStyleSheet(QStringLiteral("QLabel { border-right: 1px solid palette(mid); }"));
  bar.addWidget(panel);
  return panel;
}

}  // namespace

const QUuid TZelGraphicsEditor::kQualityGuid("{E1195915-FFAE-4A56-B331-F4567336FF25}");

TZelGraphicsEditor::TZelGraphicsEditor(quill::TZelComponent* owner) : TZelEditor(owner) {
  TMainForm& form = *MainForm;
  form.OnFileDrop = [this](const QString& fileName) {
    // Plug-in mode edits its one image: a dropped file would replace it, and OK would
    // then write into that file while the host got its own image back.
    if (PluginMode) return;
    TZelDocument* document = nullptr;
    OpenFile(fileName, document, true);
  };

  const quill::TZelImageList* images = &form.GetImageList();
  form.AddSeparator(StandardToolbar, EditToolbarSeparator);
  form.AddToolbarButton(StandardToolbar, images, EditToolbarSeparator,
                        GetLocalizedString(kPrevImageText), form.AddImage(QStringLiteral("PrevImage")),
                        [this] { PrevImageClick(); }, PrevImageButton);
  form.AddToolbarButton(StandardToolbar, images, EditToolbarSeparator,
                        GetLocalizedString(kNextImageText), form.AddImage(QStringLiteral("NextImage")),
                        [this] { NextImageClick(); }, NextImageButton);

  ZoomMenuSeparator = form.AddSeparator(form.ViewMenuItem, form.ToolbarsMenuItem->menuAction());
  ZoomToolbarSeparator = form.AddSeparator(StandardToolbar, nullptr);

  struct TZoomCommand {
    const char* bitmap;
    int32_t caption;
    quill::TShortCut shortCut;
    void (TZelGraphicsEditor::*handler)();
    QAction** menuItem;
    QAction** button;
  };
  const TZoomCommand commands[] = {
      {"ZoomIn", kZoomInText, quill::scCtrl | quill::VK_ADD, &TZelGraphicsEditor::ZoomInClick,
       &ZoomInMenuItem, &ZoomInButton},
      {"ZoomOut", kZoomOutText, quill::scCtrl | quill::VK_SUBTRACT, &TZelGraphicsEditor::ZoomOutClick,
       &ZoomOutMenuItem, &ZoomOutButton},
      {"ActualSize", kActualSizeFirstText, quill::scCtrl | quill::scAlt | '0',
       &TZelGraphicsEditor::ActualSizeClick, &ActualSizeMenuItem, &ActualSizeButton},
      {"BestFit", kBestFitText, 0, &TZelGraphicsEditor::BestFitClick, &ScaleToBestFitMenuItem,
       &ScaleToBestFitButton},
  };
  for (const TZoomCommand& command : commands) {
    const int image = form.AddImage(QString::fromLatin1(command.bitmap));
    const auto handler = command.handler;
    *command.menuItem = form.AddMenuItem(GetLocalizedString(command.caption), command.shortCut,
                                         ZoomMenuSeparator, form.ViewMenuItem, image,
                                         [this, handler] { (this->*handler)(); });
    form.AddToolbarButton(StandardToolbar, images, nullptr, GetLocalizedString(command.caption),
                          image, [this, handler] { (this->*handler)(); }, *command.button);
  }

  QStatusBar& bar = *form.StatusBar;
  const int h = QFontInfo(form.font()).pixelSize();
  const int h15 = MulDiv(h, 3, 2);
  const Qt::Alignment right = Qt::AlignRight;
  const Qt::Alignment left = Qt::AlignLeft;
  AddStatusPanel(bar, QStringLiteral("X:"), right, 2 * h, false);
  XStatusPanel = AddStatusPanel(bar, QString(), left, 4 * h, false);
  AddStatusPanel(bar, QStringLiteral("Y:"), right, h15, false);
  YStatusPanel = AddStatusPanel(bar, QString(), left, 5 * h, true);
  AddStatusPanel(bar, QStringLiteral("W:"), right, 2 * h, false);
  WStatusPanel = AddStatusPanel(bar, QString(), left, 4 * h, false);
  AddStatusPanel(bar, QStringLiteral("H:"), right, h15, false);
  HStatusPanel = AddStatusPanel(bar, QString(), left, 5 * h, true);
  AddStatusPanel(bar, QStringLiteral("R:"), right, h15, false);
  RStatusPanel = AddStatusPanel(bar, QString(), left, 4 * h, false);
  AddStatusPanel(bar, QStringLiteral("G:"), right, h15, false);
  GStatusPanel = AddStatusPanel(bar, QString(), left, 4 * h, false);
  AddStatusPanel(bar, QStringLiteral("B:"), right, h15, false);
  BStatusPanel = AddStatusPanel(bar, QString(), left, 5 * h, true);

  // The scroll tool belongs to the editor, not to the composition root: the editor makes
  // it here, owned by the application object with no reference kept, so it comes first
  // in the application's component order, before every tool the root makes.
  ZelApplication->NewComponent<TZelScrollTool>();
  quill::SetScreenCursor(quill::crHand, LoadCursorResource(QStringLiteral("Hand")));
}

TZelGraphicsEditor::~TZelGraphicsEditor() {
  if (MainForm != nullptr) MainForm->OnFileDrop = nullptr;
  if (GraphicsEditor == this) GraphicsEditor = nullptr;
}

// ---- Operations for the tools and modules ----

TZelGraphicsDocument* TZelGraphicsEditor::GetCurrentDocument() const {
  return static_cast<TZelGraphicsDocument*>(GetLastDocument());
}

TZelGraphicsView* TZelGraphicsEditor::GetCurrentView() const {
  TZelGraphicsDocument* document = GetCurrentDocument();
  return document != nullptr ? document->GetGraphicsView() : nullptr;
}

void TZelGraphicsEditor::SetActiveTool(TZelGraphicsTool* tool) {
  if (CurrentTool != nullptr) CurrentTool->Deactivate();
  if (tool != nullptr) tool->Activate();
  CurrentTool = tool;
}

bool TZelGraphicsEditor::ToolMayWork(TZelGraphicsTool* tool) const {
  TZelGraphicsDocument* document = GetCurrentDocument();
  if (document == nullptr) return false;
  if (ToolLocked && tool != CurrentTool) return false;
  if (document->Running && document->RunningTool != tool && document->RunningTool != nullptr &&
      document->RunningTool->Exclusive) {
    return false;
  }
  return true;
}

void TZelGraphicsEditor::SetWidthStatus(const QString& text) { WStatusPanel->setText(text); }

void TZelGraphicsEditor::SetHeightStatus(const QString& text) { HStatusPanel->setText(text); }

void TZelGraphicsEditor::SetPointStatus(const quill::TPoint& point, const TZelRGB& colour) {
  XStatusPanel->setText(QString::number(point.X));
  YStatusPanel->setText(QString::number(point.Y));
  RStatusPanel->setText(QString::number(colour.R));
  GStatusPanel->setText(QString::number(colour.G));
  BStatusPanel->setText(QString::number(colour.B));
}

void TZelGraphicsEditor::FitOnOpen(TZelGraphicsDocument* document, TZelGraphicsView* view) {
  if (document == nullptr || view == nullptr) return;
  if (view->width() >= document->CurrentImage.GetWidth() &&
      view->height() >= document->CurrentImage.GetHeight()) {
    view->SetZoom(1, 1);
  } else {
    BestFit(view);
  }
}

void TZelGraphicsEditor::FitToWindow() { FitOnOpen(GetCurrentDocument(), GetCurrentView()); }

void TZelGraphicsEditor::BestFit(TZelGraphicsView* view) {
  if (view == nullptr) return;
  const int32_t viewWidth = view->width();
  const int32_t viewHeight = view->height();
  const int32_t width = view->Document->CurrentImage.GetWidth();
  const int32_t height = view->Document->CurrentImage.GetHeight();
  // A view or an image without area has no zoom that fits.
  if (viewWidth < 1 || viewHeight < 1 || width < 1 || height < 1) return;
  if (static_cast<double>(height) / viewHeight >= static_cast<double>(width) / viewWidth) {
    view->SetZoom(viewHeight, height);
  } else {
    view->SetZoom(viewWidth, width);
  }
}

void TZelGraphicsEditor::SizeWindow(int32_t viewWidth, int32_t viewHeight) {
  TZelGraphicsView* view = GetCurrentView();
  if (view == nullptr || MainForm == nullptr) return;
  // A script's sizes are untrusted: 64 bits hold every sum of two 32-bit values, and
  // the window's frame is clamped to the screen's work area (without a screen, to what
  // a window may be).
  const QRect frame = MainForm->frameGeometry();
  int64_t left = frame.left();
  int64_t top = frame.top();
  int64_t width = std::min<int64_t>(
      int64_t{frame.width()} + std::max<int64_t>(0, int64_t{viewWidth} - view->width()), QWIDGETSIZE_MAX);
  int64_t height = std::min<int64_t>(
      int64_t{frame.height()} + std::max<int64_t>(0, int64_t{viewHeight} - view->height()), QWIDGETSIZE_MAX);
  if (const QScreen* screen = MainForm->screen()) {
    const QRect work = screen->availableGeometry();
    FitAxis(work.left(), int64_t{work.left()} + work.width(), left, width);
    FitAxis(work.top(), int64_t{work.top()} + work.height(), top, height);
  }
  quill::SetMainWindowFrame(QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
                                  static_cast<int>(height)));
}

void quill::SetMainWindowFrame(const QRect& frame) {
  // setGeometry takes the client area: the frame's margins come off.
  const QRect client = MainForm->geometry();
  const QRect now = MainForm->frameGeometry();
  MainForm->setGeometry(frame.adjusted(client.left() - now.left(), client.top() - now.top(),
                                       client.right() - now.right(), client.bottom() - now.bottom()));
}

void TZelGraphicsEditor::BuildFolderList(const QString& fileName) {
  const qsizetype separator = fileName.lastIndexOf(QLatin1Char('/'));
  if (separator < 0) return;
  const QString folder = fileName.left(separator + 1);
  FolderFiles.clear();
  FolderIndex = -1;
  // Folders are skipped even when their names carry an image extension; the names
  // come in one fixed order, compared without regard to case.
  QStringList names =
      QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    const int order = a.compare(b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
  });
  for (const QString& name : names) {
    if (HasImageExtension(name)) FolderFiles.append(folder + name);
  }
  for (qsizetype i = 0; i < FolderFiles.size(); ++i) {
    if (FolderFiles[i].compare(fileName, Qt::CaseInsensitive) == 0) {
      FolderIndex = static_cast<int32_t>(i);
      break;
    }
  }
}

// ---- Click handlers ----

void TZelGraphicsEditor::NextImageClick() {
  if (FolderFiles.isEmpty() || FolderIndex + 1 >= FolderFiles.size()) return;
  ++FolderIndex;
  TZelDocument* document = nullptr;
  OpenFile(FolderFiles[FolderIndex], document, true);
}

void TZelGraphicsEditor::PrevImageClick() {
  if (FolderFiles.isEmpty() || FolderIndex <= 0) return;
  --FolderIndex;
  TZelDocument* document = nullptr;
  OpenFile(FolderFiles[FolderIndex], document, true);
}

void TZelGraphicsEditor::ZoomInClick() {
  quill::RecordCommand(Recorder, QStringLiteral("ZoomIn"), QStringLiteral("Zoom In"),
                       QStringLiteral("ZoomIn"));
  TZelGraphicsView* view = GetCurrentView();
  if (view == nullptr) return;
  quill::TZelZoomStep step = quill::ZoomSteps.back();
  for (const quill::TZelZoomStep& candidate : quill::ZoomSteps) {
    if (view->CompareZoom(candidate.Numerator, candidate.Denominator) > 0) {
      step = candidate;
      break;
    }
  }
  view->SetZoom(step.Numerator, step.Denominator);
}

void TZelGraphicsEditor::ZoomOutClick() {
  quill::RecordCommand(Recorder, QStringLiteral("ZoomOut"), QStringLiteral("Zoom Out"),
                       QStringLiteral("ZoomOut"));
  TZelGraphicsView* view = GetCurrentView();
  if (view == nullptr) return;
  quill::TZelZoomStep step = quill::ZoomSteps.front();
  for (auto it = quill::ZoomSteps.rbegin(); it != quill::ZoomSteps.rend(); ++it) {
    if (view->CompareZoom(it->Numerator, it->Denominator) < 0) {
      step = *it;
      break;
    }
  }
  view->SetZoom(step.Numerator, step.Denominator);
}

void TZelGraphicsEditor::ActualSizeClick() {
  quill::RecordCommand(Recorder, QStringLiteral("ActualSize"), QStringLiteral("Actual Size"),
                       QStringLiteral("ActualSize"));
  if (TZelGraphicsView* view = GetCurrentView()) view->SetZoom(1, 1);
}

void TZelGraphicsEditor::BestFitClick() {
  quill::RecordCommand(Recorder, QStringLiteral("BestFit"), QStringLiteral("Best Fit"),
                       QStringLiteral("BestFit"));
  BestFit(GetCurrentView());
}

// ---- TZelEditor ----

void TZelGraphicsEditor::Localize() {
  TZelEditor::Localize();
  ZoomInMenuItem->setText(GetLocalizedString(kZoomInText));
  ZoomOutMenuItem->setText(GetLocalizedString(kZoomOutText));
  ActualSizeMenuItem->setText(GetLocalizedString(kActualSizeText));
  ZoomInButton->setToolTip(GetLocalizedString(kZoomInText));
  ZoomOutButton->setToolTip(GetLocalizedString(kZoomOutText));
  ActualSizeButton->setToolTip(GetLocalizedString(kActualSizeText));
  ScaleToBestFitMenuItem->setText(GetLocalizedString(kBestFitText));
  ScaleToBestFitButton->setToolTip(GetLocalizedString(kBestFitText));
  PrevImageButton->setToolTip(GetLocalizedString(kPrevImageText));
  NextImageButton->setToolTip(GetLocalizedString(kNextImageText));
}

void TZelGraphicsEditor::LoadState(TZelSDFReader& reader) {
  TZelEditor::LoadState(reader);
  if (!reader.EnterGuidNode(1, kQualityGuid)) return;
  int32_t quality = Formats.JPEGQuality;
  if (reader.ReadInteger(1, quality)) Formats.JPEGQuality = std::clamp(quality, 0, 100);
  reader.LeaveNode();
}

void TZelGraphicsEditor::SaveState(TZelSDFWriter& writer) {
  TZelEditor::SaveState(writer);
  writer.BeginGuidNode(1, kQualityGuid);
  writer.WriteInteger(1, Formats.JPEGQuality);
  writer.EndNode();
}

void TZelGraphicsEditor::UpdateControls() {
  TZelEditor::UpdateControls();
  const bool open = SaveAsMenuItem->isEnabled();
  for (QAction* item : {ZoomInMenuItem, ZoomOutMenuItem, ActualSizeMenuItem, ScaleToBestFitMenuItem,
                        ZoomInButton, ZoomOutButton, ActualSizeButton, ScaleToBestFitButton}) {
    item->setEnabled(open);
  }
  PrevImageButton->setEnabled(!FolderFiles.isEmpty() && FolderIndex > 0);
  NextImageButton->setEnabled(!FolderFiles.isEmpty() && FolderIndex < FolderFiles.size() - 1);
}

void TZelGraphicsEditor::SetCurrentDocument(TZelDocument* document) {
  if (document != nullptr && document->FormatId == -1) {
    if (!PluginMode) ExchangeFileName = document->FileName;
    SetPluginMode(true);
  }
  TZelEditor::SetCurrentDocument(document);
}

void TZelGraphicsEditor::RemoveDocument(TZelDocument* document) {
  TZelEditor::RemoveDocument(document);
  if (GetDocumentCount() != 0) return;
  SetWidthStatus(QString());
  SetHeightStatus(QString());
}

std::unique_ptr<TZelDocument> TZelGraphicsEditor::CreateDocument() {
  return std::make_unique<TZelGraphicsDocument>(this);
}

bool TZelGraphicsEditor::CreateView(TZelDocument* document, QWidget*& view) {
  if (!TZelEditor::CreateView(document, view)) return false;
  auto* graphicsView = static_cast<TZelGraphicsView*>(view);
  quill::ForEachGraphicsTool([graphicsView](TZelGraphicsTool& tool) { tool.CreateControl(graphicsView); });
  FitOnOpen(static_cast<TZelGraphicsDocument*>(document), graphicsView);
  if (CurrentTool != nullptr) CurrentTool->Activate();
  graphicsView->DocumentView->SetVisible(true);
  // The size panels show the image's size from the start, not only after a change.
  const TZelLTBitmap& image = static_cast<TZelGraphicsDocument*>(document)->CurrentImage;
  SetWidthStatus(QString::number(image.GetWidth()));
  SetHeightStatus(QString::number(image.GetHeight()));
  return true;
}

bool TZelGraphicsEditor::OpenFile(const QString& fileName, TZelDocument*& document,
                                  bool addToRecent) {
  const bool result = TZelEditor::OpenFile(fileName, document, addToRecent);
  TZelGraphicsView* view = GetCurrentView();
  if (!result || view == nullptr) return result;
  BuildFolderList(fileName);
  FitOnOpen(GetCurrentDocument(), view);
  // A name that no quoting holds (both quotes in it) cannot be played back: no lines.
  QString name;
  if (Recorder != nullptr && Recorder->IsRecording() &&
      quill::QuoteScriptText(QFileInfo(fileName).fileName(), name)) {
    quill::RecordCommand(Recorder, QStringLiteral("Open"), QStringLiteral("Open Image"),
                         QStringLiteral("ImageOpen ") + name + QStringLiteral(", ") +
                             QString::number(view->width()) + QStringLiteral(", ") +
                             QString::number(view->height()));
  }
  return result;
}

void TZelGraphicsEditor::AfterOpen(TZelDocument* document) {
  if (!PluginMode) TZelEditor::AfterOpen(document);
}

bool TZelGraphicsEditor::CanUndo() {
  TZelGraphicsDocument* document = GetCurrentDocument();
  return TZelEditor::CanUndo() && !document->Running;
}

bool TZelGraphicsEditor::CanRedo() {
  TZelGraphicsDocument* document = GetCurrentDocument();
  return TZelEditor::CanRedo() && !document->Running;
}

void TZelGraphicsEditor::Undo() {
  TZelGraphicsDocument* document = GetCurrentDocument();
  if (document == nullptr) return;
  TZelGraphicsTool* tool = CurrentTool;
  SetActiveTool(nullptr);
  document->NotifyBeforeUndo();
  TZelEditor::Undo();
  document->NotifyAfterUndo();
  SetActiveTool(tool);
}

void TZelGraphicsEditor::Redo() {
  TZelGraphicsDocument* document = GetCurrentDocument();
  if (document == nullptr) return;
  TZelGraphicsTool* tool = CurrentTool;
  SetActiveTool(nullptr);
  document->NotifyBeforeRedo();
  TZelEditor::Redo();
  document->NotifyAfterRedo();
  SetActiveTool(tool);
}
