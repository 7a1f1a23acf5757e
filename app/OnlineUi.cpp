#include "OnlineUi.h"

#include <stdexcept>

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include "Icons.h"
#include "OnlineLayout.h"
#include "Site.h"
#include "Update.h"
#include "VirtualIniFile.h"

namespace {

const QColor kTitleColour(36, 44, 53);
constexpr int kTitleHeight = 40;  // character height of "Tavrolin" on the About tab, pixels
constexpr int kLogoSize = 224;
// The picture inside the logo's control: the title below overlaps the control's last rows.
constexpr int kLogoPictureSize = 192;
// While the settings text waits for a long loop or a modal dialog to end.
constexpr int kPendingRetryMs = 200;

QLabel* MakeLabel(QWidget* parent, int x, int y, const QString& text, bool bold = false) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  if (bold) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
  }
  label->move(x, y);
  label->adjustSize();
  return label;
}

// A label that opens something when pressed: hand cursor and, for the site's controls, the
// site's address as its hint.
void MakeLink(QLabel* label, const QString& hint = QString()) {
  label->setCursor(Qt::PointingHandCursor);
  if (!hint.isEmpty()) label->setToolTip(hint);
}

QFrame* MakeBar(QWidget* parent, int x, int y) {
  auto* bar = new QFrame(parent);
  bar->setGeometry(x, y, 409, 5);
  bar->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  return bar;
}

void PassPointerThrough(QWidget* widget) {
  widget->setAttribute(Qt::WA_TransparentForMouseEvents);
  widget->setFocusPolicy(Qt::NoFocus);
}

// The update icon: a download arrow into a tray on an orange disc, 48 x 48.
QPixmap UpdateIcon() {
  QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x9a, 0x4a, 0x0c), 1.5));
  p.setBrush(QColor(0xe8, 0x7a, 0x1e));
  p.drawEllipse(QRectF(2, 2, 44, 44));
  QPainterPath arrow;
  arrow.moveTo(20, 10);
  arrow.lineTo(28, 10);
  arrow.lineTo(28, 22);
  arrow.lineTo(34, 22);
  arrow.lineTo(24, 32);
  arrow.lineTo(14, 22);
  arrow.lineTo(20, 22);
  arrow.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(arrow);
  p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(QPolygonF({QPointF(13, 31), QPointF(13, 37), QPointF(35, 37), QPointF(35, 31)}));
  p.end();
  return QPixmap::fromImage(image);
}

}  // namespace

TOnlineUi::TOnlineUi(IOnlineHost& host, const TStart& start)
    : AppDataFolder(start.AppDataFolder),
      ExeVersion(start.ExeVersion),
      FirstRunOfVersion(start.FirstRunOfVersion),
      InfoCacheFile(InfoCacheFileName(start.AppDataFolder)),
      RemoteVersion(start.ExeVersion),
      Links(kAdsSlotCount, start.AppDataFolder),
      Host(host) {
  CreateAboutTab();
  CreateAdsColumn();

  TimerUpdate = new QTimer(this);
  TimerUpdate->setInterval(kTimerUpdateInterval);
  connect(TimerUpdate, &QTimer::timeout, this, [this] { TimerUpdateTimer(); });
  TimerUpdate->start();

  AdsTimer = new QTimer(this);
  AdsTimer->setInterval(kAdsTimerInterval);
  connect(AdsTimer, &QTimer::timeout, this,
          [this] { Host.RunHandler([this] { AdsTimerTimer(); }); });

  PendingTimer = new QTimer(this);
  PendingTimer->setInterval(kPendingRetryMs);
  connect(PendingTimer, &QTimer::timeout, this, [this] { ApplyPending(); });
}

TOnlineUi::~TOnlineUi() {
  // The update thread first: it must not hand a text to a window that is going away. Then
  // every download is told to stop at once; the slots' own destruction waits for them.
  Closing = true;
  UpdateThread.reset();
  Links.RequestStop();
}

// --- The "About" tab ---

void TOnlineUi::CreateAboutTab() {
  QWidget* tab = Host.AboutTab();
  const QString site = tavrolin::SiteAddress();

  Image5 = new QLabel(tab);
  Image5->setGeometry(101, 97, kLogoSize, kLogoSize);
  Image5->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Image5->setContentsMargins(0, 4, 0, 0);
  Image5->setPixmap(QPixmap::fromImage(LogoImage(kLogoPictureSize)));
  MakeLink(Image5, site);

  sLabelFX1 = MakeLabel(tab, 108, 305, kLabelFX1Caption);
  QFont title = sLabelFX1->font();
  title.setPixelSize(kTitleHeight);
  title.setBold(true);
  sLabelFX1->setFont(title);
  QPalette titlePalette = sLabelFX1->palette();
  titlePalette.setColor(QPalette::WindowText, kTitleColour);
  sLabelFX1->setPalette(titlePalette);
  sLabelFX1->adjustSize();
  MakeLink(sLabelFX1, site);

  sLabelFX2 = MakeLabel(tab, 67, 353, kLabelFX2Caption);
  MakeLink(sLabelFX2, site);

  CreateUpdatePanel(tab);

  sPanel1 = MakeBar(tab, 8, 512);
  sPanel4 = MakeBar(tab, 8, 584);
  sLabel2 = MakeLabel(tab, 93, 521, kLabel2Caption);

  sButtonBecomeAfan = new QPushButton(kBecomeAfanCaption, tab);
  sButtonBecomeAfan->setGeometry(153, 544, 152, 33);
  QFont bold = sButtonBecomeAfan->font();
  bold.setBold(true);
  sButtonBecomeAfan->setFont(bold);
  connect(sButtonBecomeAfan, &QPushButton::clicked, this,
          [this] { Host.RunHandler([this] { sButtonBecomeAfanClick(); }); });

  sLabel9 = MakeLabel(tab, 72, 609, kLabel9Caption);
  sLabel10 = MakeLabel(tab, 129, 625, SupportMailAddress(), true);
  MakeLink(sLabel10);

  CreateHiddenPanels(tab);

  for (QObject* control : {static_cast<QObject*>(Image5), static_cast<QObject*>(sLabelFX1),
                           static_cast<QObject*>(sLabelFX2), static_cast<QObject*>(sLabel10)})
    control->installEventFilter(this);
}

void TOnlineUi::CreateUpdatePanel(QWidget* tab) {
  sPanelUpdate = new QFrame(tab);
  sPanelUpdate->setGeometry(kPanelUpdateRect);
  sPanelUpdate->setFrameStyle(QFrame::Panel | QFrame::Raised);
  sPanelUpdate->setAutoFillBackground(true);
  QPalette palette = sPanelUpdate->palette();
  palette.setColor(QPalette::Window, kPanelUpdateColor);
  sPanelUpdate->setPalette(palette);

  ImageUpdate = new QLabel(sPanelUpdate);
  ImageUpdate->setGeometry(kImageUpdateRect);
  ImageUpdate->setPixmap(UpdateIcon());

  sLabel8 = MakeLabel(sPanelUpdate, kLabel8Pos.x(), kLabel8Pos.y(), kLabel8DesignCaption, true);

  sButton1 = new QPushButton(kButton1Caption, sPanelUpdate);
  sButton1->setGeometry(kButton1Rect);
  connect(sButton1, &QPushButton::clicked, this,
          [this] { Host.RunHandler([this] { sButton1Click(); }); });

  sPanelUpdate->hide();
}

void TOnlineUi::CreateHiddenPanels(QWidget* tab) {
  // Kept for their handlers; nothing ever shows them.
  sPanel14 = new QFrame(tab);
  sPanel14->setGeometry(8, 440, 409, 65);
  sLabel13 = MakeLabel(sPanel14, 8, 6, kLabel13Caption);
  MakeLink(sLabel13);
  sLabel7 = MakeLabel(sPanel14, 8, 44, PartnershipMailAddress(), true);
  MakeLink(sLabel7);
  sLabel13->installEventFilter(this);
  sLabel7->installEventFilter(this);
  sPanel14->hide();

  sPanel13 = new QFrame(tab);
  sPanel13->setGeometry(8, 440, 409, 65);
  for (size_t i = 0; i < DonationFields.size(); ++i) {
    QLineEdit* field = new QLineEdit(sPanel13);
    field->setGeometry(8, 4 + 20 * int(i), 393, 18);
    field->setReadOnly(true);
    field->installEventFilter(this);
    DonationFields[i] = field;
  }
  sPanel13->hide();

  sPanel12 = new QFrame(tab);
  sPanel12->setGeometry(8, 8, 409, 33);
  sPanel12->hide();
  sButtonFollowUs = new QPushButton(QStringLiteral("Follow us"), tab);
  sButtonFollowUs->setGeometry(153, 544, 152, 33);
  sButtonFollowUs->hide();
}

// --- The advertising column ---

void TOnlineUi::CreateAdsColumn() {
  QWidget* client = Host.ClientArea();
  for (int i = 0; i < kAdsSlotCount; ++i) {
    auto* panel = new QLabel(kAdsCaption, client);
    panel->setObjectName(QStringLiteral("ads%1").arg(i));
    panel->setGeometry(AdsPanelRect(i));
    panel->setAlignment(Qt::AlignCenter);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setCursor(Qt::PointingHandCursor);
    panel->setProperty("tag", i);
    panel->installEventFilter(this);
    // Hidden from the start rather than first thing in FormShow, so that the window's first
    // picture never flashes the column over the right-hand tabs.
    panel->hide();
    ads[size_t(i)] = panel;
  }

  sPanel17 = new QLabel(kPanel17Caption, client);
  sPanel17->setGeometry(kPanel17Rect);
  sPanel17->setFrameStyle(QFrame::Panel | QFrame::Raised);
  sPanel17->setLineWidth(kPanel17Bevel);
  sPanel17->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
  sPanel17->setAutoFillBackground(true);

  sLabelFX3 = new QLabel(kLabelFX3Caption, sPanel17);
  sLabelFX3->setGeometry(sPanel17->contentsRect());
  sLabelFX3->setAlignment(Qt::AlignCenter);
  QFont large = sLabelFX3->font();
  large.setPixelSize(44);
  large.setBold(true);
  sLabelFX3->setFont(large);
  QPalette palette = sLabelFX3->palette();
  palette.setColor(QPalette::WindowText, kTitleColour);
  sLabelFX3->setPalette(palette);

  ImageBig = new QLabel(sPanel17);
  ImageBig->setGeometry(sPanel17->contentsRect());
  ImageBig->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  // The pop-up must never take the pointer: while it covers the hovered panel, that panel has
  // to go on receiving the pointer's leave and click. Disabling it would grey its pictures, so
  // it lets the pointer through instead.
  for (QWidget* w : {static_cast<QWidget*>(sPanel17), static_cast<QWidget*>(sLabelFX3),
                     static_cast<QWidget*>(ImageBig)})
    PassPointerThrough(w);
  sPanel17->hide();
}

void TOnlineUi::ShowAds(bool visible) {
  for (QLabel* panel : ads) panel->setVisible(visible);
  const TAdsColumnLayout layout = ShowAdsLayout(visible);
  Host.PlaceRightTabs(layout.RightTabLeft);
  if (visible) sPanel17->raise();
}

void TOnlineUi::AdsTimerTimer() {
  const TAdsTick tick = AdsTimerTick(Links);
  for (const int32_t i : tick.ShowPicture) ShowSmallPicture(i);
  if (!tick.AllDone) return;
  AdsTimer->stop();
  for (const QString& text : tick.SheetTexts) Host.AddSheetText(text);
}

void TOnlineUi::ShowSmallPicture(int index) {
  QLabel* panel = ads[size_t(index)];
  auto* image = new QLabel(panel);
  image->setGeometry(panel->contentsRect());
  image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  image->setAutoFillBackground(true);  // covers the caption where the picture leaves a gap
  image->setPixmap(QPixmap::fromImage(Links[index].SmallPicture));
  // The panel keeps the pointer's enter, leave and click.
  PassPointerThrough(image);
  image->show();
  AdsImages[size_t(index)] = image;
}

void TOnlineUi::AdvPanelMouseEnter(int index) {
  QLabel* panel = ads[size_t(index)];
  sPanel17->move(BigPanelPosition(panel->geometry(), Host.WindowHeight()));
  const TLinkInfo& slot = Links[index];
  if (IsReady(slot)) {
    ImageBig->setPixmap(QPixmap::fromImage(slot.BigPicture));
    ImageBig->show();
    sPanel17->show();
    sPanel17->raise();
  } else {
    panel->setToolTip(AdsPanelHint(index));
    ImageBig->hide();
    sPanel17->hide();
  }
}

void TOnlineUi::AdvPanelMouseLeave(int /*index*/) { sPanel17->hide(); }

void TOnlineUi::AdvPanelMouseDown(int index) {
  const TLinkInfo& slot = Links[index];
  if (!IsReady(slot)) return;
  SendStat(AdvertisementPingMessage(slot.Www));
  OpenAddress(slot.Www);
}

int TOnlineUi::AdsPanelIndex(QObject* watched) const {
  for (size_t i = 0; i < ads.size(); ++i)
    if (ads[i] == watched) return int(i);
  return -1;
}

// --- Settings and update ---

void TOnlineUi::FormShow() {
  ShowAds(false);
  if (!UpdateThread) {
    UpdateThread = std::make_unique<TUpdateThread>(
        this, InfoUrl(), InfoCacheFile, [this](const TInfoResult& info) { HandOver(info); });
  }
  SendStat(StartupPingMessage(FirstRunOfVersion, ExeVersion));
}

void TOnlineUi::FormClose() {
  Closing = true;
  PendingTimer->stop();
  HasPending = false;
  AdsTimer->stop();
  sPanel17->hide();
  // Also from inside the hand-over itself (a critical update closes the window from there).
  if (UpdateThread) UpdateThread->Stop();
  Links.RequestStop();
}

void TOnlineUi::HandOver(const TInfoResult& info) {
  if (Closing) return;
  if (WindowBusy()) {
    Pending = info;
    HasPending = true;
    PendingTimer->start();
    return;
  }
  Host.RunHandler([this, &info] { OnVersionInfo(info); });
}

bool TOnlineUi::WindowBusy() const {
  return Host.ListChangesRefused() || QApplication::activeModalWidget() != nullptr ||
         QApplication::activePopupWidget() != nullptr;
}

void TOnlineUi::ApplyPending() {
  if (!HasPending || Closing) {
    PendingTimer->stop();
    return;
  }
  if (WindowBusy()) return;
  PendingTimer->stop();
  HasPending = false;
  const TInfoResult info = std::move(Pending);
  Host.RunHandler([this, &info] { OnVersionInfo(info); });
}

void TOnlineUi::OnVersionInfo(const TInfoResult& info) {
  InfoText = info.InfoText;
  InfoFetched = info.InfoFetched;
  const TVirtualIniFile ini(InfoText);
  const TRemoteSettings settings = ReadRemoteSettings(ini);
  RemoteVersion = settings.RemoteVersion;
  UpdateUrl = settings.UpdateUrl;
  UpdateCritical = settings.UpdateCritical;
  AdsEnabled = settings.AdsEnabled;

  switch (DecideUpdate(settings, ExeVersion, InfoFetched)) {
    case TUpdateOffer::None:
      break;
    case TUpdateOffer::ShowPanel:
      sLabel8->setText(UpdatePanelText(RemoteVersion));
      sLabel8->adjustSize();
      sPanelUpdate->show();
      break;
    case TUpdateOffer::InstallNow:
      // Nobody asked for this download, so its failure is not put in front of the user; it
      // ends this hand-over, advertising included.
      try {
        if (DownloadAndRunSetup()) Host.CloseWindow();
      } catch (const std::exception&) {
        return;
      }
      break;
  }

  // A window that closed for the installer starts no downloads.
  if (Closing || !AdsEnabled) return;
  LoadLinks(Links, ini);
  ShowAds(true);
  AdsTimer->start();
}

bool TOnlineUi::DownloadAndRunSetup() {
  const TSetupDownload setup{UpdateUrl, RemoteVersion, AppDataFolder};
  bool ok = false;
  // The window's own busy state disables it and also refuses close requests and drops while
  // the download pumps events.
  Host.RunBusy([&] { ok = ::DownloadAndRunSetup(Host.Wait(), setup, [](bool) {}); });
  return ok;
}

void TOnlineUi::sButton1Click() {
  if (DownloadAndRunSetup()) Host.CloseWindow();
}

void TOnlineUi::TimerUpdateTimer() {
  if (!sPanelUpdate->isHidden()) ImageUpdate->setVisible(ImageUpdate->isHidden());
}

// --- Pings and links ---

void TOnlineUi::SendStat(const QString& message) { Stats.SendStat(message); }

void TOnlineUi::OpenAddress(const QString& address) { QDesktopServices::openUrl(QUrl(address)); }

void TOnlineUi::MouseDownGotoSite() {
  OpenAddress(SiteRootAddress());
  SendStat(kSitePingMessage);
}

void TOnlineUi::emailClick(QLabel* sender) { OpenAddress(MailToAddress(sender->text())); }

void TOnlineUi::sLabel13MouseDown() {
  OpenAddress(PartnersAddress());
  SendStat(kPartnersPingMessage);
}

void TOnlineUi::sButtonBecomeAfanClick() { OpenAddress(FanPageAddress()); }

bool TOnlineUi::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::MouseButtonPress) {
    if (watched == Image5 || watched == sLabelFX1 || watched == sLabelFX2) {
      Host.RunHandler([this] { MouseDownGotoSite(); });
      return true;
    }
    if (watched == sLabel10 || watched == sLabel7) {
      auto* label = static_cast<QLabel*>(watched);
      Host.RunHandler([this, label] { emailClick(label); });
      return true;
    }
    if (watched == sLabel13) {
      Host.RunHandler([this] { sLabel13MouseDown(); });
      return true;
    }
  }
  if (type == QEvent::MouseButtonRelease) {
    for (QLineEdit* field : DonationFields)
      if (watched == field) QTimer::singleShot(0, field, &QLineEdit::selectAll);
  }
  const int index = AdsPanelIndex(watched);
  if (index >= 0) {
    switch (type) {
      case QEvent::Enter:
        Host.RunHandler([this, index] { AdvPanelMouseEnter(index); });
        break;
      case QEvent::Leave:
        Host.RunHandler([this, index] { AdvPanelMouseLeave(index); });
        break;
      case QEvent::MouseButtonPress:
        Host.RunHandler([this, index] { AdvPanelMouseDown(index); });
        return true;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}
