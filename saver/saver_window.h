// TForm1, the saver window: a borderless, top-most window over every monitor
// that shows the scene (imdest) and flies a plane across each monitor. Its member
// functions are defined by role:
//   saver_window.cpp     creation, FormCreate (the start-up), repaint
//   background.cpp       paintBackground (live desktop or fake desktop)
//   plane_selection.cpp  building the catalogue, selectNextPlane
//   flight_animation.cpp the flight timers, flightTick, startPlane
//   input_watch.cpp      deactivate, isWindowsNT, endSaver
//   display_watch.cpp    the flights asleep while the display is off
#pragma once
#include <windows.h>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/form.h"
#include "framework/surface.h"
#include "framework/timer.h"
#include "saver/catalogue.h"
#include "saver/containers.h"
#include "saver/display_sleep.h"
#include "saver/flight.h"
#include "saver/flight_passes.h"
#include "saver/screen_layout.h"

// The saver window's class name and title: together the key by which a new
// start of the program finds a running saver.
inline constexpr const char* saverWindowClass = "TForm1";
inline constexpr const char* saverWindowTitle = "quillon7";

// One monitor's flight: its plane, its choice of planes, the surfaces it
// draws with and its two timers. The primary's is made of the window's own
// named surfaces and timers; every further monitor's owns its own.
struct MonitorFlight {
    MonitorFlight(SceneSurface& scene, SceneSurface& saveBuffer, SceneSurface& mask, SceneSurface& colours,
                  SceneSurface& readWhite, SceneSurface& readBlack, Timer& left, Timer& right)
        : surfaces{scene, saveBuffer, mask, colours}, readWhite(readWhite), readBlack(readBlack), left(left),
          right(right)
    {
    }
    MonitorFlight(const MonitorFlight&) = delete;
    MonitorFlight& operator=(const MonitorFlight&) = delete;

    FlightSurfaces surfaces;
    SceneSurface& readWhite;   // the JPEG holders of the chosen plane's pictures
    SceneSurface& readBlack;
    Timer& left;               // direction 1
    Timer& right;              // direction 2
    // The monitor in scene pixels: the planes start beside its edges and end
    // by its width.
    ScreenArea area;
    FlightState flight;
    PlaneSelection selection;
    // Where the current plane's sprites paint, found when they were given.
    std::optional<FlightRect> spritesPainted;
    // A further monitor's first plane is chosen at its first tick, after the
    // saver is shown, so the start-up does not wait for it.
    bool firstPlaneDue = false;

    Timer& timerOf(int direction) { return direction == enterLeft ? left : right; }
};

// The flight of a monitor beside the primary, with everything it owns.
struct FurtherMonitorFlight {
    // Its timers take firstTimerId and the id after it, and call onTick with
    // the flight and the direction.
    FurtherMonitorFlight(SceneSurface& scene, UINT_PTR firstTimerId,
                         const std::function<void(MonitorFlight&, int direction)>& onTick);
    SceneSurface imsave{saveBufferWidth, saveBufferHeight};
    SceneSurface View_Image_White{spriteWidth, spriteHeight};
    SceneSurface View_Image_Black{colourSurfaceWidth, colourSurfaceHeight};
    SceneSurface Image_Read_White{placeholderSurfaceSize, placeholderSurfaceSize};
    SceneSurface Image_Read_Black{placeholderSurfaceSize, placeholderSurfaceSize};
    Timer Timer_Left;
    Timer Timer_Right;
    MonitorFlight flight;
};

class TForm1 : public Form {
public:
    // places: where the decoded images may go; OwnFolderOnly when another
    // saver runs, which reads those in the Windows directory.
    explicit TForm1(ImagePlaces places = ImagePlaces::WindowsDirectoryFirst);
    // Removes the input watch, which calls into this window, and gives the
    // system back what the saver took, should nothing have done so yet.
    ~TForm1() override;
    // Creates the window as the application's main window and shows it
    // (top-most, maximised) once FormCreate has returned, whatever happened in it.
    void createAndShow();

    // The scene surfaces at their design sizes.
    SceneSurface imdest{placeholderSurfaceSize, placeholderSurfaceSize};
    SceneSurface imsave{saveBufferWidth, saveBufferHeight};
    SceneSurface View_Image_White{spriteWidth, spriteHeight};
    SceneSurface View_Image_Black{colourSurfaceWidth, colourSurfaceHeight};
    SceneSurface Image_Read_White{placeholderSurfaceSize, placeholderSurfaceSize};
    SceneSurface Image_Read_Black{placeholderSurfaceSize, placeholderSurfaceSize};
    SceneSurface Image_Background_Jpeg{placeholderSurfaceSize, placeholderSurfaceSize};

    // Flight timers, both disabled at creation.
    Timer Timer_Left;
    Timer Timer_Right;

protected:
    void createControls() override;
    void FormCreate() override;
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void installInputWatch();
    bool startupCutShort() const;
    void placeOnScreens(bool fakeDesktop);
    void prepareFurtherFlights();
    void startFurtherFlights();
    std::vector<MonitorFlight*> flights();
    void keepCoveringScreens(WINDOWPOS& change) const;
    void sceneChanged();
    bool sceneCoversWindow() const;
    void onPaint();
    void eraseBackground(HDC dc);

    void paintBackground();
    void paintStockPicture();
    void paintStockInsteadOfDamaged(const std::exception_ptr& damaged);
    void paintLiveDesktop();

    void buildCatalogue();
    void selectNextPlane(MonitorFlight& monitor);
    int chooseNextSlot(MonitorFlight& monitor);
    void setAsideEverywhere(int slot);
    void loadSprites(MonitorFlight& monitor, const PlaneSlot& slot);
    void loadScaledSprites(MonitorFlight& monitor, const PlaneSlot& slot);
    int loadDoubleDensityImages(MonitorFlight& monitor, const PlaneSlot& slot);
    std::string decodedDoubleDensityImage(const std::string& imagePath);
    void scaleSurfaces(MonitorFlight& monitor, int32_t dpi);
    void deleteDoubleDensityImages();

    void Timer_LeftTimer();
    void Timer_RightTimer();
    void flightTick(MonitorFlight& monitor, int direction);
    void movePlane(MonitorFlight& monitor, int direction);
    void startPlane(MonitorFlight& monitor, Timer& finished);
    void startFirstPlane();
    void startFurtherFirstPlane(MonitorFlight& monitor);
    void launchFirstPlane(MonitorFlight& monitor);
    void launchPlane(MonitorFlight& monitor, const PlaneSlot& slot, int32_t x, int32_t y, uint32_t firstInterval);
    void tickAtOnce(MonitorFlight& monitor);
    void drawSprite(MonitorFlight& monitor);
    void stopAllFlights();

    void watchDisplayPower();
    void stopWatchingDisplayPower();
    void powerBroadcast(WPARAM event, LPARAM report);
    void systemCommand(WPARAM command, LPARAM value);
    void displayPowerChanged(DisplayPower power);

    void deactivate(const MSG& message);
    void endSaver();
    void restoreSystemState();

    // The saver's state for the run, all of it here.
    //
    // What the start-up took from the system and every way out gives back once.
    bool cursorHidden_ = false;
    bool saverRunningSet_ = false;
    bool imagesDecoded_ = false;
    // Set by the first way out: the saver ends, whatever else still runs.
    bool ended_ = false;
    // The input watch's busy mark: true exactly while deactivate handles an
    // ending message.
    bool inputWatchBusy = false;

    // The Windows directory, asked once at start: every data file of the run
    // is there.
    std::string dataDirectory_;
    // Whether the images may go beside the containers; when not, every way
    // out leaves the images there alone.
    ImagePlaces imagePlaces_;
    // Where the decoded images are: the Windows directory, or the program's
    // folder in the user's temporary directory when the Windows directory
    // refused them.
    std::string imageDirectory_;
    // The pictures made for twice the density that this run wrote (full
    // paths): every way out deletes them; only those decoded whole are shown.
    DoubleDensityImages doubleDensityImages_;
    // The containers that could not be read: their flights fail when chosen.
    UnreadContainers unreadContainers_;
    SaverPlacement placement_;  // the window, the scene and the flights on the monitors
    DisplayMetrics displays_;   // the monitors as the start-up found them
    PlaneCatalogue catalogue_;
    // Which flight timers the display's sleep stopped, and the system's
    // registration that reports the display's state (Vista and later).
    DisplaySleep displaySleep_;
    HANDLE displayNotification_ = nullptr;
    // The primary monitor's flight, on the window's own surfaces and timers,
    // and one flight for every further monitor where its planes can be seen.
    MonitorFlight mainFlight_{imdest, imsave, View_Image_White, View_Image_Black,
                              Image_Read_White, Image_Read_Black, Timer_Left, Timer_Right};
    std::vector<std::unique_ptr<FurtherMonitorFlight>> furtherFlights_;
};
