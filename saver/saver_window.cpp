// TForm1: the saver window's creation, its start-up sequence and its repaint.
#include "saver/saver_window.h"

#include <algorithm>
#include <optional>

#include "framework/application.h"
#include "framework/dpi_awareness.h"
#include "framework/scoped.h"
#include "saver/containers.h"
#include "saver/flight_observer.h"
#include "saver/input_watch_logic.h"
#include "settings/settings.h"
#include "settings/windows_directory.h"

namespace {
constexpr UINT_PTR timerLeftId = 1;
constexpr UINT_PTR timerRightId = 2;

// The virtual screen's metrics, which the headers for Windows 95 do not name.
// Windows 95 and NT 4.0 know them not and answer 0.
constexpr int virtualScreenLeft = 76;     // SM_XVIRTUALSCREEN
constexpr int virtualScreenTop = 77;      // SM_YVIRTUALSCREEN
constexpr int virtualScreenWidth = 78;    // SM_CXVIRTUALSCREEN
constexpr int virtualScreenHeight = 79;   // SM_CYVIRTUALSCREEN

DisplayMetrics currentDisplayMetrics()
{
    DisplayMetrics metrics;
    metrics.primaryWidth = GetSystemMetrics(SM_CXSCREEN);
    metrics.primaryHeight = GetSystemMetrics(SM_CYSCREEN);
    metrics.virtualScreen = {GetSystemMetrics(virtualScreenLeft), GetSystemMetrics(virtualScreenTop),
                             GetSystemMetrics(virtualScreenWidth), GetSystemMetrics(virtualScreenHeight)};
    for (const SystemMonitor& monitor : systemMonitors()) {
        const RECT& area = monitor.area;
        metrics.monitors.push_back({{area.left, area.top, area.right - area.left, area.bottom - area.top},
                                    monitor.dpi, monitor.primary});
    }
    return metrics;
}

// Further monitors' timers follow the primary's two.
constexpr UINT_PTR firstFurtherTimerId = 3;
}

FurtherMonitorFlight::FurtherMonitorFlight(SceneSurface& scene, UINT_PTR firstTimerId,
                                           const std::function<void(MonitorFlight&, int)>& onTick)
    : Timer_Left(nullptr, firstTimerId, leftTimerInterval, [this, onTick] { onTick(flight, enterLeft); }),
      Timer_Right(nullptr, firstTimerId + 1, rightTimerInterval, [this, onTick] { onTick(flight, enterRight); }),
      flight(scene, imsave, View_Image_White, View_Image_Black, Image_Read_White, Image_Read_Black, Timer_Left,
             Timer_Right)
{
}

TForm1::TForm1(ImagePlaces places)
    : Timer_Left(nullptr, timerLeftId, leftTimerInterval, [this] { Timer_LeftTimer(); }),
      Timer_Right(nullptr, timerRightId, rightTimerInterval, [this] { Timer_RightTimer(); }),
      imagePlaces_(places)
{
}

TForm1::~TForm1()
{
    Application::instance().setMessageHook(nullptr);
    // The base class destroys a window that is still there, too late for
    // this class's own WM_DESTROY handling.
    restoreSystemState();
}

void TForm1::createAndShow()
{
    Design design;
    design.className = saverWindowClass;
    design.caption = saverWindowTitle;
    design.style = WS_POPUP | WS_MAXIMIZE;
    // The monitors once, for the whole start-up: listing them loads a system
    // library on Windows 8.1 and later.
    displays_ = currentDisplayMetrics();
    placeOnScreens(false);
    design.left = placement_.window.left;
    design.top = placement_.window.top;
    design.width = placement_.window.width;
    design.height = placement_.window.height;
    design.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    design.isMainForm = true;
    create(design);
    // A saver ended while its start-up's error box was open stays hidden.
    if (startupCutShort())
        return;
    // Shown only now, so the live desktop copy made by FormCreate does not
    // contain the saver's own window.
    show(SW_SHOWMAXIMIZED);
    SetForegroundWindow(handle());
    observeStartupStep(StartupStep::Shown);
    // Asked only now: the system answers at once with the display's state,
    // which must find the first plane's timer running.
    watchDisplayPower();
}

void TForm1::createControls()
{
    // Top-most from its creation on, without being moved, sized or activated.
    SetWindowPos(handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    registerTimer(Timer_Left);
    registerTimer(Timer_Right);
    imdest.setOnChange([this] { sceneChanged(); });
}

void TForm1::FormCreate()
{
    // The window will cover the screen with the cursor hidden: whatever fails
    // before step 10, the input watch is installed all the same, so a key or a
    // mouse button still ends the saver once the error box is closed.
    bool inputWatchInstalled = false;
    // A stored value that could not be read takes its assumed value and the
    // planes fly with the rest; it is reported once the start-up is over,
    // before whatever else stopped it.
    std::optional<ERegistryException> unreadableSetting;
    try {
        observeStartupStep(StartupStep::Begun);
        ShowCursor(FALSE);   // step 1
        cursorHidden_ = true;
        mainFlight_.selection.resetSequence();   // step 2: catalogue order starts at the lowest enabled slot
        BOOL previousState = FALSE;   // step 3: the system is told a screen saver runs
        SystemParametersInfoA(SPI_SCREENSAVERRUNNING, TRUE, &previousState, 0);
        saverRunningSet_ = true;
        ensureDefaultSettings();   // step 4
        unreadableSetting = loadSettings(true);   // step 5, the saver variant
        inputWatchBusy = false;   // step 6
        dataDirectory_ = windowsDirectory();   // step 7: every data file lives here
        observeStartupStep(StartupStep::Settings);
        imagesDecoded_ = true;   // a pass that fails part-way leaves some behind
        decodeImageContainers(dataDirectory_, imagePlaces_, imageDirectory_, unreadContainers_);   // step 8: In*.sdd -> In*.jpg
        observeStartupStep(StartupStep::Decode);
        buildCatalogue();   // step 9
        installInputWatch();   // step 10
        inputWatchInstalled = true;
        observeStartupStep(StartupStep::Catalogue);

        // step 11: the window covers the screen, every monitor of it
        placeOnScreens(saverSettings.Fake);
        const ScreenArea& window = placement_.window;
        SetWindowPos(handle(), nullptr, window.left, window.top, window.width, window.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        // step 12: the scene's fixed size is the window's
        imdest.setWidth(window.width);
        imdest.setHeight(window.height);
        scaleSurfaces(mainFlight_, primaryDpiOf(displays_, primaryMonitorDpi));
        paintBackground();   // step 13
        if (startupCutShort())
            return;
        prepareFurtherFlights();
        observeStartupStep(StartupStep::Background);
        selectNextPlane(mainFlight_);   // step 14
        if (startupCutShort())
            return;
        startFirstPlane();   // step 15
        startFurtherFlights();
        observeStartupStep(StartupStep::FirstPlane);
    } catch (...) {
        if (!inputWatchInstalled)
            installInputWatch();
        if (unreadableSetting)
            Application::instance().showException(*unreadableSetting, handle());
        if (startupCutShort())
            return;   // nobody is left to tell
        throw;
    }
    if (unreadableSetting)
        throw *unreadableSetting;
}

// An error box's own loop runs the window's messages: a close from another
// program, or an ending message, may end the saver while the start-up shows
// one. What the start-up would do next needs the window and what the end gave
// back (the images, the timers), and would only show another box.
bool TForm1::startupCutShort() const
{
    return !handle() || ended_;
}

// On a monitor above 96 DPI its planes, their save buffer and their start
// places grow by its scale (at 96 DPI the sizes stay).
void TForm1::scaleSurfaces(MonitorFlight& monitor, int32_t dpi)
{
    monitor.flight.scale = flightScaleFor(dpi);
    const FlightGeometry geometry = flightGeometry(monitor.flight.scale);
    FlightSurfaces& surfaces = monitor.surfaces;
    surfaces.saveBuffer.setWidth(geometry.saveWidth);
    surfaces.saveBuffer.setHeight(geometry.saveHeight);
    surfaces.mask.setWidth(geometry.spriteWidth);
    surfaces.mask.setHeight(geometry.spriteHeight);
    surfaces.colours.setWidth(geometry.colourWidth);
    surfaces.colours.setHeight(geometry.colourHeight);
}

// A flight for every further monitor where its planes can be seen, at that
// monitor's scale (the primary's where the system tells no monitor's own).
void TForm1::prepareFurtherFlights()
{
    const auto onTick = [this](MonitorFlight& monitor, int direction) { flightTick(monitor, direction); };
    UINT_PTR timerId = firstFurtherTimerId;
    const int32_t sceneWidth = imdest.hasBitmap() ? imdest.pictureWidth() : 0;
    const int32_t sceneHeight = imdest.hasBitmap() ? imdest.pictureHeight() : 0;
    for (const MonitorField& field : furtherMonitorFields(displays_, placement_, sceneWidth, sceneHeight)) {
        furtherFlights_.push_back(std::make_unique<FurtherMonitorFlight>(imdest, timerId, onTick));
        timerId += 2;
        // Registered only once stored: the window must never hold timers of
        // a flight that a failed store destroyed.
        FurtherMonitorFlight& further = *furtherFlights_.back();
        registerTimer(further.Timer_Left);
        registerTimer(further.Timer_Right);
        MonitorFlight& monitor = further.flight;
        monitor.area = field.monitor;
        monitor.flight.field = field.clip;
        scaleSurfaces(monitor, field.dpi > 0 ? field.dpi : mainFlight_.flight.scale.dpi);
    }
}

// Each further monitor's catalogue order begins at another slot; its first
// plane is chosen at its first tick, due as soon as the saver is shown.
void TForm1::startFurtherFlights()
{
    const PlaneTypeFlags enabled = enabledPlaneTypes(saverSettings);
    const int monitors = static_cast<int>(furtherFlights_.size()) + 1;
    for (int index = 1; index < monitors; ++index) {
        MonitorFlight& monitor = furtherFlights_[index - 1]->flight;
        monitor.selection.startSequenceAt(enabled, firstSlotOffset(index, monitors, enabledFlightCount(enabled)));
        monitor.firstPlaneDue = true;
        monitor.left.setInterval(leftTimerInterval);
        monitor.left.setEnabled(true);
    }
}

std::vector<MonitorFlight*> TForm1::flights()
{
    std::vector<MonitorFlight*> all{&mainFlight_};
    for (const auto& further : furtherFlights_)
        all.push_back(&further->flight);
    return all;
}

void TForm1::installInputWatch()
{
    Application::instance().setMessageHook([this](const MSG& message) { deactivate(message); });
}

void TForm1::placeOnScreens(bool fakeDesktop)
{
    placement_ = saverPlacement(displays_, fakeDesktop);
    mainFlight_.area = placement_.flightField;
    mainFlight_.flight.field = fieldInScene(placement_);
}

void TForm1::keepCoveringScreens(WINDOWPOS& change) const
{
    // Maximising puts a window on one monitor; this one stays over all of them.
    if ((change.flags & (SWP_NOMOVE | SWP_NOSIZE)) == (SWP_NOMOVE | SWP_NOSIZE))
        return;
    const ScreenArea& window = placement_.window;
    change.x = window.left;
    change.y = window.top;
    change.cx = window.width;
    change.cy = window.height;
    change.flags &= ~(SWP_NOMOVE | SWP_NOSIZE);
}

LRESULT TForm1::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // An error box's loop hands a key or a button posted to this window (the
    // uninstaller's key) straight here, past the input watch: it still ends
    // the saver, after the Windows 9x password check.
    if (isEndingMessage(message) && Application::instance().showsErrorBox()) {
        MSG ending{};
        ending.hwnd = handle();
        ending.message = message;
        ending.wParam = wParam;
        ending.lParam = lParam;
        deactivate(ending);
    }
    switch (message) {
    case WM_GETMINMAXINFO: {
        auto& limits = *reinterpret_cast<MINMAXINFO*>(lParam);
        const ScreenArea& window = placement_.window;
        limits.ptMaxPosition = {window.left, window.top};
        limits.ptMaxSize = {window.width, window.height};
        limits.ptMaxTrackSize.x = std::max<LONG>(limits.ptMaxTrackSize.x, window.width);
        limits.ptMaxTrackSize.y = std::max<LONG>(limits.ptMaxTrackSize.y, window.height);
        return 0;
    }
    case WM_WINDOWPOSCHANGING:
        keepCoveringScreens(*reinterpret_cast<WINDOWPOS*>(lParam));
        break;
    case WM_PAINT:
        onPaint();
        return 0;
    case WM_ERASEBKGND:
        eraseBackground(reinterpret_cast<HDC>(wParam));
        return 1;
    // Neither is input. The monitor-power command goes on to the default
    // handling, which turns the monitor off.
    case WM_SYSCOMMAND:
        systemCommand(wParam, lParam);
        break;
    case WM_POWERBROADCAST:
        powerBroadcast(wParam, lParam);
        break;
    // A close from another program, log-off and shutdown bypass endSaver.
    case WM_ENDSESSION:
        if (wParam) {
            restoreSystemState();
            DestroyWindow(handle());
        }
        return 0;
    case WM_DESTROY:
        restoreSystemState();
        break;
    }
    return defaultHandling(message, wParam, lParam);
}

bool TForm1::sceneCoversWindow() const
{
    return ::sceneCoversWindow(placement_, imdest.pictureWidth(), imdest.pictureHeight());
}

void TForm1::sceneChanged()
{
    // The whole window is marked; the marks of one tick merge into one repaint.
    // The background is painted first only where the scene does not reach.
    if (handle())
        InvalidateRect(handle(), nullptr, sceneCoversWindow() ? FALSE : TRUE);
}

void TForm1::onPaint()
{
    ScopedPaint paint(handle());
    // Without a picture (a start-up cut short) only the background shows.
    if (!imdest.hasBitmap() || imdest.pictureWidth() <= 0 || imdest.pictureHeight() <= 0)
        return;
    const ScreenPoint& at = placement_.sceneInWindow;
    BitBlt(paint.dc(), at.x, at.y, imdest.pictureWidth(), imdest.pictureHeight(), imdest.canvas(), 0, 0, SRCCOPY);
}

void TForm1::eraseBackground(HDC dc)
{
    RECT client{};
    GetClientRect(handle(), &client);
    const int saved = SaveDC(dc);
    const ScreenPoint& at = placement_.sceneInWindow;
    if (imdest.hasBitmap())
        ExcludeClipRect(dc, at.x, at.y, at.x + imdest.pictureWidth(), at.y + imdest.pictureHeight());
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    RestoreDC(dc, saved);
}
