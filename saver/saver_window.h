// TForm1, the saver window: a borderless, top-most window over every monitor
// that shows the scene (imdest) and flies the planes across the primary one. Its member
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

bool isWindowsNT();

class TForm1 : public Form {
public:
    TForm1();
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
    void placeOnScreens(bool fakeDesktop);
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
    void selectNextPlane();
    void loadSprites(const PlaneSlot& slot);
    void loadScaledSprites(const PlaneSlot& slot);
    int loadDoubleDensityImages(const PlaneSlot& slot);
    std::string decodedDoubleDensityImage(const std::string& imagePath);
    void scaleSurfacesToDisplay();
    void deleteDoubleDensityImages();

    void Timer_LeftTimer();
    void Timer_RightTimer();
    void flightTick(Timer& ticking, int direction);
    void movePlane(Timer& ticking, int direction);
    void startPlane(Timer& finished);
    void startFirstPlane();
    void launchPlane(const PlaneSlot& slot, int32_t x, int32_t y, uint32_t firstInterval);
    void tickAtOnce();
    void drawSprite();

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
    // The input watch's busy mark: true exactly while deactivate handles an
    // ending message.
    bool inputWatchBusy = false;

    // The Windows directory, asked once at start: every data file of the run
    // is there.
    std::string dataDirectory_;
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
    PlaneCatalogue catalogue_;
    PlaneSelection selection_;
    FlightState flight_;
    // Where the current plane's sprites paint, found when they were given.
    std::optional<FlightRect> spritesPainted_;
    // Which flight timers the display's sleep stopped, and the system's
    // registration that reports the display's state (Vista and later).
    DisplaySleep displaySleep_;
    HANDLE displayNotification_ = nullptr;
    // The four surfaces every flight pass works on.
    FlightSurfaces flightSurfaces_{imdest, imsave, View_Image_White, View_Image_Black};
};
