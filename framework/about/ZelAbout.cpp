#include "ZelAbout.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>
#include <QTabBar>
#include <QUrl>

#include <algorithm>
#include <stdexcept>

#include "MainForm.h"
#include "ZelHelp.h"
#include "ZelImageList.h"
#include "ZelLocalizer.h"
#include "ZelTypes.h"
#include "ZelUtils.h"

using namespace quill;

namespace {

// String ids.
constexpr int32_t kAboutCaptionId = 47;
constexpr int32_t kSecondTabCaptionId = 53;
constexpr int32_t kThirdTabCaptionId = 167;

// Label colours. The link colour is $FF0000 in the platform's 0x00BBGGRR order: blue.
// Other text is black, whatever the desktop's colours, because it lies on the logo.
const QColor kLinkColour(0, 0, 255);
const QColor kWhiteColour(255, 255, 255);
const QColor kTextColour(0, 0, 0);

bool IsUrlSeparator(QChar c) { return c == u'/' || c == u':' || c == u'\\'; }

TMainForm& RequireMainForm() {
  if (MainForm == nullptr) throw std::logic_error("The About box needs the main window.");
  return *MainForm;
}

}  // namespace

const std::array<TZelAboutEntry, 6> quill::kAboutEntries = {{
    {156, kAboutBold, 16, 90, 0, 0, 0.0f, -1},
    {54, kAboutRightAligned | kAboutColon, 16, 126, 75, 0, 0.0f, 0},
    {u"help://Help/index.html", kAboutLink | kAboutSameLine, 0, 0, 0, 0, 0.0f, 0},
    {56, kAboutRightAligned | kAboutColon, 0, 0, 75, 0, 0.5f, 0},
    {u"help://Support/support.html", kAboutLink | kAboutSameLine, 0, 0, 0, 0, 0.0f, 0},
    {u"Quillmere " QUILL_VERSION u" \u00B7 Copyright (C) Quillmere developers", 0, 0, 275, 0, 0, 0.0f, -1},
}};

QString UrlHostName(const QString& text) {
  const qsizetype colon = text.indexOf(u':');
  if (colon < 0) return {};
  qsizetype start = colon + 1;
  while (start < text.size() && IsUrlSeparator(text[start])) ++start;
  qsizetype end = start;
  while (end < text.size() && !IsUrlSeparator(text[end])) ++end;
  return text.mid(start, end - start);
}

QUrl quill::AboutLinkUrl(const QString& text) {
  const QString scheme = QStringLiteral("help://");
  if (!text.startsWith(scheme)) return QUrl(text);
  const qsizetype page = text.indexOf(u'/', scheme.size());
  const QString name = page < 0 ? QStringLiteral("index.html") : text.mid(page + 1);
  return QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/help/") + name);
}

// ---- TZelLogoBackground ----

TZelLogoBackground::TZelLogoBackground(QWidget* parent) : QWidget(parent) {}

TZelLogoBackground::~TZelLogoBackground() = default;

bool TZelLogoBackground::LoadLogo(const QString& resourceName) {
  Image.reset();
  update();
  InitProgramResources();
  const QString fileName = QStringLiteral(":/rcdata/") + resourceName.toUpper();
  if (resourceName.isEmpty() || !QFile::exists(fileName)) return false;
  auto image = std::make_unique<QSvgRenderer>(fileName);
  if (!image->isValid()) return false;
  Image = std::move(image);
  return true;
}

int TZelLogoBackground::GetPictureWidth() const {
  return Image != nullptr ? Image->defaultSize().width() : 0;
}

void TZelLogoBackground::paintEvent(QPaintEvent* /*event*/) {
  if (Image == nullptr) return;
  QPainter painter(this);
  Image->render(&painter, QRectF(rect()));
}

// ---- TZelAboutForm ----

TZelAboutForm::TZelAboutForm(quill::TZelComponent* owner, const TZelAboutInfo& info) : TZelForm(owner) {
  // A fixed dialog. The desktop's dialog font is the labels' font.
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
  setWindowTitle(QStringLiteral("About"));
  auto* client = new QWidget(this);
  setCentralWidget(client);
  setFixedSize(kClientWidth, kClientHeight);

  // The tab control: its tabs along the top, the logo over the whole display area.
  AboutTabControl = new QTabBar(client);
  AboutTabControl->setDrawBase(false);
  AboutTabControl->setExpanding(false);
  AboutTabControl->addTab(QStringLiteral("About"));
  AboutTabControl->setTabData(0, 0);
  const int tabHeight = AboutTabControl->sizeHint().height();
  AboutTabControl->setGeometry(kTabControlRect.x(), kTabControlRect.y(), kTabControlRect.width(),
                               tabHeight);
  logo_ = new TZelLogoBackground(client);
  logo_->setGeometry(kTabControlRect.adjusted(0, tabHeight, 0, 0));

  logo_->LoadLogo(info.LogoResourceName);
  BuildLabels(logo_->width(), logo_->GetPictureWidth(), info.EntryCount, info.Entries);
  connect(AboutTabControl, &QTabBar::currentChanged, this, [this] { AboutTabControlChange(); });
  AboutTabControlChange();
}

void TZelAboutForm::Localize() {
  setWindowTitle(GetLocalizedString(kAboutCaptionId));
  for (int i = 0; i < AboutTabControl->count(); ++i) {
    AboutTabControl->setTabText(i, GetTabCaption(AboutTabControl->tabData(i).toInt()));
  }
}

QString TZelAboutForm::GetTabCaption(int32_t index) {
  switch (index) {
    case 0:
      return GetLocalizedString(kAboutCaptionId);
    case 1:
      return GetLocalizedString(kSecondTabCaptionId);
    case 2:
      return GetLocalizedString(kThirdTabCaptionId);
    default:
      return {};
  }
}

int TZelAboutForm::FindTab(int32_t number) const {
  for (int i = 0; i < AboutTabControl->count(); ++i) {
    if (AboutTabControl->tabData(i).toInt() == number) return i;
  }
  return -1;
}

void TZelAboutForm::EnsureTab(int32_t index) {
  if (index <= 0 || FindTab(index) >= 0) return;
  const int tab = AboutTabControl->addTab(GetTabCaption(index));
  AboutTabControl->setTabData(tab, index);
}

void TZelAboutForm::AboutTabControlChange() {
  const int32_t selected = AboutTabControl->tabData(AboutTabControl->currentIndex()).toInt();
  for (const Label& label : labels_) {
    label.Control->setVisible(label.TabIndex == selected || label.TabIndex < 0);
  }
}

void TZelAboutForm::BuildLabels(int controlWidth, int pictureWidth, int32_t count,
                                std::span<const TZelAboutEntry> entries) {
  if (pictureWidth == 0) pictureWidth = controlWidth;
  const auto scaled = [controlWidth, pictureWidth](int32_t value) {
    return MulDiv(value, controlWidth, pictureWidth);
  };
  // Never past the end of the table, whatever the count says.
  const size_t labelCount =
      static_cast<size_t>(std::clamp<int64_t>(count, 0, static_cast<int64_t>(entries.size())));

  quill::TRect previous;
  int fontHeight = 0;
  int leading = 0;
  int averageWidth = 0;
  for (size_t i = 0; i < labelCount; ++i) {
    const TZelAboutEntry& entry = entries[i];
    auto* label = new QLabel(logo_);
    label->setTextFormat(Qt::PlainText);
    if (i == 0) {
      const QFontMetrics metrics(label->font());
      fontHeight = metrics.height();
      leading = metrics.leading();
      averageWidth = metrics.averageCharWidth();
    }

    const QString text = entry.Text.Fixed != nullptr ? QString::fromUtf16(entry.Text.Fixed)
                                                     : GetLocalizedString(entry.Text.Id);
    const bool link = (entry.Flags & kAboutLink) != 0;
    QString caption = link ? UrlHostName(text) : text;
    if (link) label->setToolTip(text);
    if ((entry.Flags & kAboutColon) != 0) caption += u':';
    label->setText(caption);

    EnsureTab(entry.TabIndex);
    labels_.push_back({label, entry.TabIndex});

    previous.Bottom += static_cast<int32_t>(
        quill::RoundHalfEven(static_cast<double>(fontHeight + leading) * entry.LineSpacing));
    int32_t left;
    int32_t top;
    if ((entry.Flags & kAboutSameLine) != 0) {
      left = previous.Right + averageWidth;
      top = previous.Top;
    } else {
      left = entry.Left != 0 ? scaled(entry.Left) : previous.Left;
      top = entry.Top != 0 ? scaled(entry.Top) : previous.Bottom + 2 * leading;
    }

    QFont font = label->font();
    font.setBold((entry.Flags & kAboutBold) != 0);
    font.setUnderline(link);
    label->setFont(font);
    QColor colour = kTextColour;
    if ((entry.Flags & kAboutWhite) != 0) colour = kWhiteColour;
    if (link) colour = kLinkColour;
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    if (link) {
      label->setCursor(Qt::PointingHandCursor);
      label->installEventFilter(this);
    }
    label->setWordWrap((entry.Flags & kAboutWordWrap) != 0);
    label->setAlignment(((entry.Flags & kAboutRightAligned) != 0 ? Qt::AlignRight : Qt::AlignLeft) |
                        Qt::AlignVCenter);

    // Sized to its text unless the entry gives a width or height.
    label->adjustSize();
    const int width = entry.Width != 0 ? scaled(entry.Width) : label->width();
    const int height = entry.Height != 0 ? scaled(entry.Height) : label->height();
    label->setGeometry(left, top, width, height);

    const quill::TRect bounds{left, top, left + width, top + height};
    previous = (entry.Flags & kAboutSameLine) != 0 ? quill::UnionRect(previous, bounds) : bounds;
  }
}

void TZelAboutForm::LinkLabelClick(const QLabel& label) {
  if (!label.toolTip().isEmpty()) OpenHelpUrl(quill::AboutLinkUrl(label.toolTip()));
}

void TZelAboutForm::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      close();
      return;
    default:
      TZelForm::keyPressEvent(event);
  }
}

bool TZelAboutForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const auto* label = qobject_cast<QLabel*>(watched);
    if (label != nullptr && mouse->button() == Qt::LeftButton &&
        label->rect().contains(mouse->position().toPoint())) {
      LinkLabelClick(*label);
      return true;
    }
  }
  return TZelForm::eventFilter(watched, event);
}

void TZelAboutForm::showEvent(QShowEvent* event) {
  if (MainForm != nullptr) {
    QRect frame = frameGeometry();
    frame.moveCenter(MainForm->frameGeometry().center());
    move(frame.topLeft());
  }
  TZelForm::showEvent(event);
}

// ---- TZelAbout ----

TZelAbout::TZelAbout(quill::TZelComponent* owner) : TZelModule(owner) {
  TMainForm& mainForm = RequireMainForm();
  AboutMenuSeparator = mainForm.AddSeparator(mainForm.HelpMenuItem, nullptr);
  AboutMenuItem = mainForm.AddMenuItem(GetLocalizedString(kAboutCaptionId), 0, nullptr,
                                       mainForm.HelpMenuItem, -1, [this] { AboutMenuItemClick(); });
}

TZelAbout::~TZelAbout() {
  delete AboutMenuSeparator;
  delete AboutMenuItem;
}

void TZelAbout::Localize() {
  if (AboutMenuItem != nullptr) AboutMenuItem->setText(GetLocalizedString(kAboutCaptionId));
}

void TZelAbout::SetAboutInfo(std::span<const TZelAboutEntry> entries, int32_t entryCount,
                             const QString& logoResourceName) {
  info_ = {entries, entryCount, logoResourceName};
}

void TZelAbout::AboutMenuItemClick() {
  // Created without an owner and freed when it closes.
  const std::unique_ptr<TZelAboutForm> form(quill::ZelCreate<TZelAboutForm>(nullptr, info_));
  form->ShowModal();
}
