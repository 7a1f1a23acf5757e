#pragma once
// TOnlineUi: the main window's online parts. It owns and lays out the "About" tab (the site's
// logo and title, the update panel, the fan button and the support address), the column of
// seven advertising panels with the large pop-up panel, the two timers, the advertising slots
// (Links), the usage pings and the start-up fetch of the settings text (TUpdateThread), and it
// applies that text when it arrives (OnVersionInfo). It owns the state of the online services
// too: the settings text of this run and what was read from it.
//
// It sees the window only through IOnlineHost. TFormMain creates it at the end of FormCreate
// (the folders and the version are known by then) and calls FormShow, FormClose and its
// destructor from its own handlers of the same names. The destructor stops the update thread
// and every download and waits for them, so no thread of the online services outlives the
// window or a slot.
//
// Everything here runs on the user-interface thread; the background threads only hand results
// over (the settings text through the window's event queue, the pictures through each slot's
// Loading flag).
#include <array>
#include <memory>

#include <QObject>
#include <QString>

#include "Ads.h"
#include "OnlineHost.h"
#include "RemoteSettings.h"
#include "Stat.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

class TOnlineUi : public QObject {
  Q_OBJECT

 public:
  // What the window knows when it creates the online part.
  struct TStart {
    QString AppDataFolder;           // ends with a separator
    QString ExeVersion;              // the running program's version
    bool FirstRunOfVersion = false;  // the first start of this version for this user
  };

  TOnlineUi(IOnlineHost& host, const TStart& start);
  ~TOnlineUi() override;
  TOnlineUi(const TOnlineUi&) = delete;
  TOnlineUi& operator=(const TOnlineUi&) = delete;

  // --- Life cycle ---
  // Hides the advertising column, starts the fetch of the settings text and sends the
  // start-up ping.
  void FormShow();
  // The window is closing for good: nothing is handed over any more and the downloads are
  // told to stop, so the program's exit is not held up by them.
  void FormClose();

  // --- Settings and update ---
  // Applies a settings text: the values, the update decision, the advertising set-up.
  void OnVersionInfo(const TInfoResult& info);
  // Downloads the installer under the wait dialog and starts it; true when the download
  // succeeded (the caller then closes the window).
  bool DownloadAndRunSetup();
  void sButton1Click();
  void TimerUpdateTimer();

  // --- Advertising ---
  void ShowAds(bool visible);
  void AdsTimerTimer();
  void AdvPanelMouseEnter(int index);
  void AdvPanelMouseLeave(int index);
  void AdvPanelMouseDown(int index);

  // --- Pings and links ---
  void SendStat(const QString& message);
  void MouseDownGotoSite();
  void emailClick(QLabel* sender);
  void sLabel13MouseDown();
  void sButtonBecomeAfanClick();

  // --- State ---
  // The data folder: the local copy of the settings text, the advertising pictures and the
  // downloaded installer go there.
  const QString AppDataFolder;
  const QString ExeVersion;
  const bool FirstRunOfVersion;
  const QString InfoCacheFile;  // the local copy of the settings text
  // The settings text of this run and what was read from it; until it arrives, no text, no
  // update and no advertising, and the remote version is the running one.
  QString InfoText;
  bool InfoFetched = false;
  QString RemoteVersion;
  QString UpdateUrl;
  bool UpdateCritical = false;
  bool AdsEnabled = false;
  TWebLinks Links;
  TStatSender Stats;
  std::unique_ptr<TUpdateThread> UpdateThread;

  // --- Controls of the "About" tab ---
  QLabel* Image5 = nullptr;
  QLabel* sLabelFX1 = nullptr;
  QLabel* sLabelFX2 = nullptr;
  QFrame* sPanelUpdate = nullptr;
  QLabel* ImageUpdate = nullptr;
  QLabel* sLabel8 = nullptr;
  QPushButton* sButton1 = nullptr;
  QFrame* sPanel1 = nullptr;
  QFrame* sPanel4 = nullptr;
  QLabel* sLabel2 = nullptr;
  QPushButton* sButtonBecomeAfan = nullptr;
  QLabel* sLabel9 = nullptr;
  QLabel* sLabel10 = nullptr;
  // Hidden and never shown: partnership, donation, languages, "Follow us".
  QFrame* sPanel14 = nullptr;
  QLabel* sLabel13 = nullptr;
  QLabel* sLabel7 = nullptr;
  QFrame* sPanel13 = nullptr;
  std::array<QLineEdit*, 3> DonationFields{};
  QFrame* sPanel12 = nullptr;
  QPushButton* sButtonFollowUs = nullptr;

  // --- Advertising controls ---
  std::array<QLabel*, kAdsSlotCount> ads{};        // ads0 ... ads6
  std::array<QLabel*, kAdsSlotCount> AdsImages{};  // the small picture in each, once shown
  QLabel* sPanel17 = nullptr;
  QLabel* sLabelFX3 = nullptr;
  QLabel* ImageBig = nullptr;

  QTimer* TimerUpdate = nullptr;
  QTimer* AdsTimer = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateAboutTab();
  void CreateUpdatePanel(QWidget* tab);
  void CreateHiddenPanels(QWidget* tab);
  void CreateAdsColumn();
  // Opens an address or a "mailto:" address in the user's browser or mail program.
  void OpenAddress(const QString& address);
  int AdsPanelIndex(QObject* watched) const;
  void ShowSmallPicture(int index);

  // The settings text from the update thread. It is applied at once unless a long loop or a
  // modal dialog is running: a critical update would put its own wait dialog over the loop's
  // and close the window under it, so the text waits until the window is free again.
  void HandOver(const TInfoResult& info);
  bool WindowBusy() const;
  void ApplyPending();

  IOnlineHost& Host;
  bool Closing = false;
  bool HasPending = false;
  TInfoResult Pending;
  QTimer* PendingTimer = nullptr;
};
