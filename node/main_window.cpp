#include "node/main_window.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <new>

#include "gui/key_preview.h"
#include "gui/led_images.h"
#include "gui/notifier.h"
#include "gui/result_text.h"
#include "gui/settings_store.h"
#include "gui/web_links.h"
#include "gui/window_placement.h"
#include "hardware/hw_config_dialog.h"
#include "node/hint_banner.h"
#include "node/node_status.h"
#include "sharing/messaging.h"
#include "trace/core/emergency_codes.h"

namespace {

constexpr int kSigTickMs = 5;
constexpr int kLedMs = 39;
constexpr int kNodeStateTimeoutMs = 7000;
constexpr int kInputCheckMs = 2000;
constexpr int kBannerHeight = 374;  // at 96 pixels per inch
constexpr int kNoBannerHeight = 342;
constexpr int kWindowWidth = 620;
constexpr int kLedDiameter = 14;

// NMT command codes of the buttons.
constexpr int32_t kNmtOperational = 0;
constexpr int32_t kNmtStop = 1;
constexpr int32_t kNmtPreoperational = 2;
constexpr int32_t kNmtReset = 3;
constexpr int32_t kNmtResetCommunication = 5;

void openUrl(const char* address) {
    QDesktopServices::openUrl(QUrl(QLatin1String(address)));
}

}  // namespace

// One LED's one-shot QTimer behind the OneShotTimer seam.
class TWin_Main::LedTimer : public OneShotTimer {
public:
    LedTimer(const char* name, QObject* owner) : timer_(owner) {
        timer_.setObjectName(QLatin1String(name));
        timer_.setSingleShot(true);
        timer_.setInterval(kLedMs);
    }
    void start() override { timer_.start(); }
    void stop() override { timer_.stop(); }
    QTimer& timer() { return timer_; }

private:
    QTimer timer_;
};

TWin_Main::TWin_Main(const MainWindowObjects& objects, MainWindowHost& host, Notifier& notifier,
                     QWidget* parent)
    : QMainWindow(parent),
      objects_(objects),
      signals_(objects.signals),
      host_(host),
      notifier_(notifier) {
    setObjectName(QStringLiteral("TWin_Main"));
    c_ = BuildMainControls(this);

    // Tab, node list (with the node selection the settings make), centring.
    c_.tabs->setCurrentIndex(0);
    resize(kWindowWidth, kBannerHeight);
    CentreOnScreen(this);
    applySettings(LoadMainSettings(OpenSettings().get()));

    startBanner();
    dataBuffer.reset(new (std::nothrow) uint8_t[kDataBufferSize]);
    setWindowTitle(QStringLiteral("Quorvane"));
    c_.first16label->hide();
    c_.viewmorebutton->hide();

    setUpLeds();

    InputCheckTimer.setObjectName(QStringLiteral("InputCheckTimer"));
    InputCheckTimer.setInterval(kInputCheckMs);
    host_.buildTransmitTab(c_.transmit, InputCheckTimer);
    // Trigger keys, except while a single-line edit has the focus.
    new TransmitKeyPreview(this, objects_.transmitEngine,
                           TransmitKeyPreview::Mode::ExceptInLineEdits);
    currentBase_ = c_.writebase->currentText();
    updateWriteDataLabel();
    applyEnablingRule();
    connectControls();

    ThreadSigTimer.setObjectName(QStringLiteral("ThreadSigTimer"));
    ThreadSigTimer.setInterval(kSigTickMs);
    connect(&ThreadSigTimer, &QTimer::timeout, this, &TWin_Main::ThreadSigTimerTimer);
    ThreadSigTimer.start();
    NodeStateTimer.setObjectName(QStringLiteral("NodeStateTimer"));
    NodeStateTimer.setInterval(kNodeStateTimeoutMs);
    connect(&NodeStateTimer, &QTimer::timeout, this, &TWin_Main::NodeStateTimerTimer);
    NodeStateTimer.start();
    objects_.messaging.Start();
}

void TWin_Main::setUpLeds() {
    ledImages_ = MakeLedImages(kLedDiameter);
    TxTimer = std::make_unique<LedTimer>("TxTimer", this);
    RxTimer = std::make_unique<LedTimer>("RxTimer", this);
    BusTimer = std::make_unique<LedTimer>("BusTimer", this);
    auto show = [this](QLabel* led, LedImage off) {
        led->setPixmap(ledImages_[off]);
        return [this, led, off](bool on) { led->setPixmap(ledImages_[off + (on ? 1 : 0)]); };
    };
    txLed_ = std::make_unique<ActivityLed>(*TxTimer, show(c_.TxLED, kTxOff));
    rxLed_ = std::make_unique<ActivityLed>(*RxTimer, show(c_.RxLED, kRxOff));
    busLed_ = std::make_unique<ActivityLed>(*BusTimer, show(c_.BusLED, kBusOff));
    errorLed_ = std::make_unique<ErrorLed>(show(c_.ErrorLED, kErrorOff));
    connect(&TxTimer->timer(), &QTimer::timeout, this, [this] { txLed_->timeout(); });
    connect(&RxTimer->timer(), &QTimer::timeout, this, [this] { rxLed_->timeout(); });
    connect(&BusTimer->timer(), &QTimer::timeout, this, [this] { busLed_->timeout(); });
}

TWin_Main::~TWin_Main() {
    // A window destroyed without having been closed still releases the bus.
    if (!closeStepsDone_) Hardware_Close();
    forgetTransferOwner();
}

bool TWin_Main::bannerActive() const {
    return banner_ != nullptr && banner_->active();
}

void TWin_Main::connectControls() {
    connect(c_.nodelist, &QComboBox::currentIndexChanged, this, &TWin_Main::nodelistChange);
    connect(c_.operational, &QPushButton::clicked, this, [this] { sendNmt(kNmtOperational); });
    connect(c_.stop, &QPushButton::clicked, this, [this] { sendNmt(kNmtStop); });
    connect(c_.preoperational, &QPushButton::clicked, this,
            [this] { sendNmt(kNmtPreoperational); });
    connect(c_.reset, &QPushButton::clicked, this, [this] { sendNmt(kNmtReset); });
    connect(c_.resetcomm, &QPushButton::clicked, this, [this] { sendNmt(kNmtResetCommunication); });
    for (QRadioButton* radio : {c_.readdisplay, c_.readstore, c_.writeenter, c_.writeread}) {
        connect(radio, &QRadioButton::toggled, this, &TWin_Main::applyEnablingRule);
    }
    connect(c_.writebase, &QComboBox::currentIndexChanged, this, &TWin_Main::writebaseChange);
    connect(c_.readbutton, &QPushButton::clicked, this, &TWin_Main::readbuttonClick);
    connect(c_.writebutton, &QPushButton::clicked, this, &TWin_Main::writebuttonClick);
    connect(c_.viewmorebutton, &QPushButton::clicked, this, &TWin_Main::viewmorebuttonClick);
    connect(c_.readbrowse, &QPushButton::clicked, this, &TWin_Main::readbrowseClick);
    connect(c_.writebrowse, &QPushButton::clicked, this, &TWin_Main::writebrowseClick);

    connect(c_.exit, &QAction::triggered, this, &QWidget::close);
    using Window = MainWindowHost::Window;
    const std::pair<QAction*, Window> opens[] = {{c_.trace, Window::Trace},
                                                 {c_.transmitlist, Window::TransmitMessages},
                                                 {c_.networkoverview, Window::NetworkOverview},
                                                 {c_.canopenmanager, Window::CanopenManager},
                                                 {c_.about, Window::About}};
    for (const auto& [action, window] : opens) {
        action->setEnabled(host_.canOpen(window));
        connect(action, &QAction::triggered, this, [this, w = window] { host_.openWindow(w); });
    }
    connect(c_.viewpennorak, &QAction::triggered, this, &TWin_Main::viewpennorakClick);
    connect(c_.manual, &QAction::triggered, this, &TWin_Main::manualClick);
    connect(c_.trelvikhomepage, &QAction::triggered, this, [] { openUrl(weblinks::kTrelvikHome); });
    connect(c_.ostrahomepage, &QAction::triggered, this, [] { openUrl(weblinks::kOstraHome); });
    connect(c_.quorvanehomepage, &QAction::triggered, this,
            [] { openUrl(weblinks::kQuorvaneHome); });
    connect(c_.morvellhomepage, &QAction::triggered, this, [] { openUrl(weblinks::kMorvellHome); });

    connect(c_.nexthint, &QToolButton::clicked, this, [this] { banner_->next(); });
    c_.eh2->installEventFilter(this);
}

// ---- Show and close -------------------------------------------------------

void TWin_Main::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (firstShowDone_) return;
    firstShowDone_ = true;
    // The hardware dialog runs after the show has finished, not inside it.
    QMetaObject::invokeMethod(this, &TWin_Main::FormShow, Qt::QueuedConnection);
}

void TWin_Main::FormShow() {
    KeepOnSingleMonitor(this);
    TWin_HWConfig& hwConfig = host_.hardwareDialog();
    hwConfig.exec();
    if (!hwConfig.configured()) {
        close();
        return;
    }
    c_.baudrate->setText(QStringLiteral("%1kbps").arg(hwConfig.baudRateKbps()));
    if (!dataBuffer) {
        notifier_.warning(QStringLiteral("Unable to allocate memory"));
        close();
        return;
    }
    host_.showSplash();
}

void TWin_Main::closeEvent(QCloseEvent* event) {
    if (!closeStepsDone_) {
        closeStepsDone_ = true;
        ThreadSigTimer.stop();
        objects_.messaging.Stop();
        host_.closeTraceWindow();
        Hardware_Close();
        SaveMainSettings(OpenSettings().get(), currentSettings());
        setWindowHeight(false);
        if (banner_ != nullptr) banner_->close();
        dataBuffer.reset();
        host_.hideSplash();
        Q_EMIT closed();
    }
    event->accept();
}

// ---- The 5 ms tick --------------------------------------------------------

void TWin_Main::ThreadSigTimerTimer() {
    const SignalSnapshot s = TakeSignals(signals_);
    elapsedTicks_ += kSigTickMs;
    if (s.txSeen) {
        txLed_->light();
        busLed_->light();
    }
    if (s.rxSeen) {
        if (s.rxStatus != 0) rxLed_->light();
        busLed_->light();
    }
    if (forwarding_.OnTick(s.txSeen || s.rxSeen, elapsedTicks_)) {
        objects_.messaging.StartForwardingPass();
    }
    if (s.errorSeen) errorLed_->apply(s.errorCode);
    if (s.clearRequest) clearReadDisplay();
    if (s.showRequest) showReadData();
    if (s.nodeInfoChanged) updateNodeStatus(s);
}

void TWin_Main::clearReadDisplay() {
    c_.first16label->hide();
    c_.viewmorebutton->hide();
    for (QLineEdit* field :
         {c_.displayhex, c_.displayascii, c_.displaydecimal, c_.displaysdecimal}) {
        field->clear();
    }
}

// ---- Node status and NMT --------------------------------------------------

void TWin_Main::updateNodeStatus(const SignalSnapshot& s) {
    NodeStateTimer.stop();
    c_.status->setText(NodeStateText(s.nodeState));
    // Codes 0x0000-0x00FF (error reset among them) leave the shown one.
    if ((s.lastEmergency & 0xFF00) != 0) {
        c_.emcy->setText(QString::fromStdString(objects_.emergencyCodes.Text(s.lastEmergency)));
        NodeStateTimer.start();
    }
}

void TWin_Main::NodeStateTimerTimer() {
    std::lock_guard guard(signals_.nodeinfo_signal_mutex);
    signals_.nodeState = kNodeStateUnknown;
    signals_.nodeInfoChanged = true;
}

void TWin_Main::nodelistChange(int row) {
    const int node = row >= 0 && row < 127 ? row + 1 : 0;
    SelectCurrentNode(signals_, static_cast<uint8_t>(node));
    c_.emcy->setText(QStringLiteral("None"));
}

void TWin_Main::sendNmt(int32_t command) {
    uint8_t target = 0;
    if (c_.singlenode->isChecked()) {
        target = CurrentNodeId(signals_);
        if (target == 0) {
            notifier_.warning(ResultText(MakeResult(kResultNoNode)));
            return;
        }
    }
    LibraryResult result{};
    CANopen_NMT(target, command, &result);
    if (result.code != 0) notifier_.warning(ResultText(result));
}

// ---- Read and write tabs --------------------------------------------------

void TWin_Main::applyEnablingRule() {
    c_.readDisplayGroup->setEnabled(c_.readdisplay->isChecked());
    c_.readFileGroup->setEnabled(c_.readstore->isChecked());
    c_.writedata->setEnabled(c_.writeenter->isChecked());
    c_.writedatalabel->setEnabled(c_.writeenter->isChecked());
    c_.writeFileGroup->setEnabled(c_.writeread->isChecked());
}

void TWin_Main::updateWriteDataLabel() {
    const bool hex = c_.writebase->currentText() == QLatin1String("Hexadecimal");
    c_.writedatalabel->setText(hex ? QStringLiteral("Data: 0x") : QStringLiteral("Data:"));
}

// ---- Settings -------------------------------------------------------------

void TWin_Main::applySettings(const MainSettings& v) {
    const int row = v.nodeid >= 1 && v.nodeid <= 127 ? v.nodeid - 1 : -1;
    c_.nodelist->setCurrentIndex(row);
    nodelistChange(row);
    c_.readindex->setText(v.readindex);
    c_.readsubindex->setText(v.readsubindex);
    c_.readstore->setChecked(v.readstore);
    c_.readdisplay->setChecked(!v.readstore);
    c_.readpath->setText(v.readpath);
    c_.writeindex->setText(v.writeindex);
    c_.writesubindex->setText(v.writesubindex);
    c_.writeenter->setChecked(v.writeenter);
    c_.writeread->setChecked(!v.writeenter);
    c_.writepath->setText(v.writepath);
    c_.writedata->setText(v.writedata);
    c_.writebase->setCurrentIndex(v.writebase);
    c_.writelength->setText(v.writelength);
    c_.allnodes->setChecked(v.allnodes);
    c_.singlenode->setChecked(!v.allnodes);
    usepennorak_ = v.usepennorak;
}

MainSettings TWin_Main::currentSettings() const {
    MainSettings v;
    v.nodeid = c_.nodelist->currentIndex() + 1;
    v.readindex = c_.readindex->text();
    v.readsubindex = c_.readsubindex->text();
    v.readstore = c_.readstore->isChecked();
    v.readpath = c_.readpath->text();
    v.writeindex = c_.writeindex->text();
    v.writesubindex = c_.writesubindex->text();
    v.writeenter = c_.writeenter->isChecked();
    v.writepath = c_.writepath->text();
    v.writedata = c_.writedata->text();
    v.writebase = c_.writebase->currentIndex();
    v.writelength = c_.writelength->text();
    v.allnodes = c_.allnodes->isChecked();
    v.usepennorak = usepennorak_;
    return v;
}

// ---- Hint banner ----------------------------------------------------------

void TWin_Main::startBanner() {
    c_.viewpennorak->setChecked(usepennorak_);
    banner_ = new HintBanner(this);
    connect(banner_, &HintBanner::hintChanged, this,
            [this](const QString& text, const QString& caption) {
                c_.eh1->setText(text);
                c_.eh1->setToolTip(text);  // the whole hint when the banner cuts it
                c_.eh2->setText(caption);
            });
    setWindowHeight(true);
    if (!usepennorak_) {
        setWindowHeight(false);
        return;
    }
    banner_->start();
}

void TWin_Main::setWindowHeight(bool withBanner) {
    const QScreen* screen = this->screen();
    const double scale = screen != nullptr ? screen->logicalDotsPerInch() / 96.0 : 1.0;
    c_.banner->setVisible(withBanner);
    const int height = static_cast<int>((withBanner ? kBannerHeight : kNoBannerHeight) * scale);
    resize(static_cast<int>(kWindowWidth * scale), height);
}

bool TWin_Main::eventFilter(QObject* watched, QEvent* event) {
    if (watched == c_.eh2 && event->type() == QEvent::MouseButtonRelease) banner_->click();
    return QMainWindow::eventFilter(watched, event);
}

void TWin_Main::viewpennorakClick() {
    usepennorak_ = !usepennorak_;
    notifier_.information(usepennorak_
                              ? QStringLiteral("Pennorak will be shown the next time Quorvane is "
                                               "started.")
                              : QStringLiteral("Pennorak will not be shown the next time Quorvane "
                                               "is started."));
    c_.viewpennorak->setChecked(usepennorak_);
}

// ---- Menus ----------------------------------------------------------------

void TWin_Main::manualClick() {
    const QString path =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("QuorvaneManual.pdf"));
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
