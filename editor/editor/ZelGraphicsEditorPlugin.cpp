// The graphics editor's plug-in mode and its script commands and targets (see the top
// of ZelGraphicsEditor.h).

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <string>

#include "MainForm.h"
#include "ZelDemoPlayback.h"
#include "ZelDemoScript.h"
#include "ZelDemonstrationModule.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"
#include "ZelLocalizer.h"
#include "ZelStringIds.h"

namespace {

constexpr int32_t kTheImageText = 500;
constexpr int32_t kHostEndedText = 1032;

// A toolbar button that shows its caption (it has no image) and takes the room its
// caption needs.
QAction* AddCaptionButton(QToolBar* toolbar, const QString& caption, quill::TZelClickHandler onClick) {
  QAction* item = nullptr;
  MainForm->AddToolbarButton(toolbar, nullptr, nullptr, caption, -1, std::move(onClick), item);
  if (auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(item))) {
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  }
  return item;
}

// Width and height from exactly two numeric parameters.
bool TwoNumbers(const TZelProperties* params, int32_t& width, int32_t& height) {
  return params != nullptr && params->GetCount() == 2 && quill::ScriptIntegerIgnoringText(params, 0, width) &&
         quill::ScriptIntegerIgnoringText(params, 1, height);
}

std::string BytesAt(const TZelProperties* params, int index) {
  if (params == nullptr) return {};
  quill::TZelVariant variant;
  params->GetVariant(index, variant);
  return quill::VariantToText(variant);
}

QString TextAt(const TZelProperties* params, int index) { return QString::fromStdString(BytesAt(params, index)); }

// The file name at Index, decoded as the running script gives its file names (as a
// single-byte script without a player when there is none).
QString FileNameAt(TZelDemoPlayback* sender, const TZelProperties* params, int index) {
  static const TZelDemoScript kNoScript;
  return (sender != nullptr ? sender->GetScript() : kNoScript).DecodeFileName(BytesAt(params, index));
}

}  // namespace

// ---- Plug-in mode ----

void TZelGraphicsEditor::OpenFileArgument(const QStringList& arguments) {
  TZelEditor::OpenFileArgument(arguments);
  if (GetDocumentCount() > 0 || arguments.size() < 2 || !TZelGraphicsFormats::IsExchangeFile(arguments[1])) return;
  // The open error has been shown. The plug-in takes the file back on exit code 0 only.
  ExchangeFileName = arguments[1];
  quill::ExitCode = -1;
  MainForm->close();
}

void TZelGraphicsEditor::SetPluginMode(bool value) {
  if (PluginMode || !value) return;
  ZelApplication->SetTitle(ZelApplication->GetTitle() + QStringLiteral(" Plug-in"));
  PrevImageButton->setVisible(false);
  NextImageButton->setVisible(false);
  MainForm->FileMenuItem->menuAction()->setVisible(false);
  MainForm->AddSeparator(StandardToolbar, nullptr);
  OkButton = AddCaptionButton(StandardToolbar, GetLocalizedString(quill::kOkText),
                              [this] { OkButtonClick(); });
  CancelButton = AddCaptionButton(StandardToolbar, GetLocalizedString(quill::kCancelText),
                                  [this] { CancelButtonClick(); });
  TZelEditor::SetPluginMode(value);
}

void TZelGraphicsEditor::UpdateTitle() {
  if (!PluginMode) {
    TZelEditor::UpdateTitle();
  } else if (MainForm != nullptr) {
    MainForm->setWindowTitle(ZelApplication->GetTitle());
  }
}

bool TZelGraphicsEditor::QuerySaveDocument(TZelDocument* document) {
  if (!PluginMode) return TZelEditor::QuerySaveDocument(document);
  if (document == nullptr) return false;
  if (PluginHost.Ended()) {
    // No host is left to read the file back: the image goes nowhere, and the window
    // closes without asking again.
    ZelApplication->MessageBox(GetLocalizedString(kHostEndedText), quill::MB_ICONWARNING);
    document->MarkSaved();
    quill::ExitCode = -1;
    return true;
  }
  // The host takes the image only with exit code 0: it must never stand for an image
  // that did not reach the file.
  if (!document->Save()) {
    ZelApplication->MessageBox(GetLocalizedString(quill::kWriteBackErrorText), MB_ICONERROR);
    return false;
  }
  quill::ExitCode = 0;
  return true;
}

int TZelGraphicsEditor::AskSaveChanges(const QString& name) {
  return TZelEditor::AskSaveChanges(PluginMode ? GetLocalizedString(kTheImageText) : name);
}

void TZelGraphicsEditor::OkButtonClick() {
  if (TZelGraphicsDocument* document = GetCurrentDocument()) {
    document->EndOperation(this);
    if (!QuerySaveDocument(document)) return;
  }
  MainForm->close();
}

void TZelGraphicsEditor::EndPluginRun() {
  if (ExchangeFileName.isEmpty() || !PluginHost.Ended()) return;
  quill::ExitCode = -1;
  quill::RemovePluginRunFiles(QFile::encodeName(ExchangeFileName).toStdString(),
                              qgetenv("XDG_RUNTIME_DIR").toStdString());
}

void TZelGraphicsEditor::CancelButtonClick() {
  if (TZelGraphicsDocument* document = GetCurrentDocument()) {
    document->EndOperation(this);
    document->MarkSaved();
  }
  MainForm->close();
}

// ---- Script commands and targets ----

void TZelGraphicsEditor::ExecuteCommand(TZelDemoPlayback* sender, const QString& name,
                                        bool& handled, const TZelProperties* params) {
  handled = true;
  int32_t width = 0;
  int32_t height = 0;
  if (name == QLatin1String("IMAGEOPEN")) {
    QString fileName = FileNameAt(sender, params, 0);
    if (QFileInfo(ImagesFolder + fileName).isFile()) fileName = ImagesFolder + fileName;
    TZelDocument* document = nullptr;
    if (!OpenFile(fileName, document, true)) {
      if (sender != nullptr) sender->ReportError(QStringLiteral("Cannot open the file."));
      return;
    }
    document->OpenedByScript = true;
    if (params != nullptr && params->GetCount() == 3 && quill::ScriptIntegerIgnoringText(params, 1, width) &&
        quill::ScriptIntegerIgnoringText(params, 2, height)) {
      SizeWindow(width, height);
      FitToWindow();
    }
  } else if (name == QLatin1String("ZOOMIN")) {
    ZoomInClick();
  } else if (name == QLatin1String("ZOOMOUT")) {
    ZoomOutClick();
  } else if (name == QLatin1String("ACTUALSIZE")) {
    ActualSizeClick();
  } else if (name == QLatin1String("BESTFIT")) {
    BestFitClick();
  } else if (name == QLatin1String("SETMINWINDOWSIZE")) {
    if (!TwoNumbers(params, width, height) || MainForm == nullptr) return;
    QRect frame = MainForm->frameGeometry();
    const QScreen* screen = MainForm->screen();
    const QRect work = screen != nullptr ? screen->availableGeometry() : frame;
    const QRect whole = screen != nullptr ? screen->geometry() : frame;
    // A script's sizes are untrusted: never beyond the screen.
    width = std::min(width, work.width());
    height = std::min(height, work.height());
    if (frame.width() < width) {
      frame.setWidth(width);
      frame.moveLeft(whole.left() + (whole.width() - width) / 2);
    }
    if (frame.height() < height) {
      frame.setHeight(height);
      frame.moveTop(work.top() + (work.height() - height) / 2);
    }
    quill::SetMainWindowFrame(frame);
    FitToWindow();
  } else if (name == QLatin1String("SETMINVIEWSIZE")) {
    if (!TwoNumbers(params, width, height)) return;
    SizeWindow(width, height);
    FitToWindow();
  } else {
    TZelEditor::ExecuteCommand(sender, name, handled, params);
  }
}

void TZelGraphicsEditor::GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params,
                                        bool& found, quill::TPoint& point) {
  const QString name = TextAt(params, 0).toUpper();
  QAction* button = nullptr;
  if (name == QLatin1String("OPEN") || name == QLatin1String("OPENBUTTON")) {
    button = OpenToolButton;
  } else if (name == QLatin1String("ZOOMIN")) {
    button = ZoomInButton;
  } else if (name == QLatin1String("ZOOMOUT")) {
    button = ZoomOutButton;
  } else if (name == QLatin1String("ACTUALSIZE")) {
    button = ActualSizeButton;
  } else if (name == QLatin1String("BESTFIT")) {
    button = ScaleToBestFitButton;
  } else if (name == QLatin1String("IMAGE")) {
    // Without both numbers there is no point: a default would click where the script
    // never said.
    TZelGraphicsView* view = GetCurrentView();
    int32_t x = 0;
    int32_t y = 0;
    if (view == nullptr || !quill::ScriptIntegerIgnoringText(params, 1, x) || !quill::ScriptIntegerIgnoringText(params, 2, y)) return;
    // A point far off the image stays off it on the same side, but no farther than the
    // view's 32-bit mapping can take without wrapping round onto the screen, even at the
    // largest zoom. The player then puts it at the screen's edge.
    constexpr int32_t kFarOff = 1 << 24;
    x = std::clamp(x, -kFarOff, kFarOff);
    y = std::clamp(y, -kFarOff, kFarOff);
    const quill::TPoint device = view->GetMapMode().LogicalToDevice({x, y});
    const QPoint screen = view->mapToGlobal(QPoint(device.X, device.Y));
    point = {screen.x(), screen.y()};
    found = true;
    return;
  } else {
    TZelEditor::GetTargetPoint(sender, params, found, point);
    return;
  }
  found = quill::ToolbarItemCentre(button, point);
}
