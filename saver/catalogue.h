// The plane catalogue: the 20 flights the saver can show, each of one of the
// 11 aircraft types the user switches on and off (settings.h), and the choice of the next
// flight (in catalogue order or at random) among the switched-on ones.
// Pure: no <windows.h>.
#pragma once
#include <array>
#include <cstdint>
#include <random>
#include <string>

#include "settings/settings.h"

// Flight directions.
inline constexpr int enterLeft = 1;   // enters at the left edge, flies to the right
inline constexpr int enterRight = 2;  // enters at the right edge, flies to the left

inline constexpr int slotCount = 20;
inline bool isSlotNumber(int number) { return number >= 1 && number <= slotCount; }

// One row of the catalogue as installed: bare file names.
struct PlaneSlotEntry {
    const char* whiteImage;   // the plane on white: the sprite's mask
    const char* blackImage;   // the same plane on black: the sprite's colours
    int direction;            // enterLeft or enterRight
    int16_t horizontalStep;   // pixels per tick, positive to the right
    int16_t verticalStep;     // pixels per tick, negative = climbing
    PlaneType type;
};

// The 20 rows, slot 1 first.
extern const std::array<PlaneSlotEntry, slotCount> catalogueTable;

// One flight of the built catalogue: its images as full paths.
struct PlaneSlot {
    std::string whiteImage;
    std::string blackImage;
    int direction = enterLeft;
    int16_t horizontalStep = 0;
    int16_t verticalStep = 0;
    PlaneType type = PlaneType::F16;
};

class PlaneCatalogue {
public:
    // Fills the 20 slots; dataPath is the Windows directory followed by "\".
    void build(const std::string& dataPath);
    bool built() const { return built_; }
    // Slot 1 to 20; throws std::out_of_range for any other number.
    const PlaneSlot& slot(int number) const;
private:
    std::array<PlaneSlot, slotCount> slots_{};
    bool built_ = false;
};

// Uniform whole numbers for the random order. The saver makes a new one,
// seeded from the clock, for every choice.
class UniformSource {
public:
    virtual ~UniformSource() = default;
    // A number from low to high inclusive, every one equally likely.
    virtual int between(int low, int high) = 0;
};

class SeededUniformSource : public UniformSource {
public:
    explicit SeededUniformSource(std::uint32_t seed) : engine_(seed) {}
    int between(int low, int high) override;
private:
    std::mt19937 engine_;
};

// The selection state: the current slot, the catalogue-order counter and the
// flights set aside for the run because their pictures could not be read.
class PlaneSelection {
public:
    // Slot flags, index: slot number - 1.
    using SlotFlags = std::array<bool, slotCount>;

    // Saver start: the catalogue order begins again at the lowest enabled slot.
    void resetSequence() { sequenceCounter_ = 0; }
    // The catalogue order of a further monitor's flight: its first choice is
    // the enabled flight `offset` places after the lowest (counting on from
    // the first after the last), and the order goes on from there.
    void startSequenceAt(const PlaneTypeFlags& enabled, int offset);

    // What chooseNext returns when no enabled flight is left to show.
    static constexpr int noSlot = 0;

    // Chooses the next slot among those whose type is enabled and that are not
    // set aside, makes it the current slot and returns it. When no type is
    // enabled (the settings key could not be read) every type counts as
    // enabled, so planes still fly. Returns noSlot, and changes nothing, when
    // every enabled slot is set aside.
    int chooseNext(const PlaneTypeFlags& enabled, bool random, UniformSource& source);
    // The same, passing over the slots flying on other monitors while any
    // other candidate is left (in catalogue order the walk goes past them).
    int chooseNext(const PlaneTypeFlags& enabled, bool random, UniformSource& source, const SlotFlags& flyingElsewhere);

    // A flight whose pictures cannot be read: never chosen again this run.
    void setAside(int slot);

    // The slot last chosen (0 before the first choice).
    int currentSlot() const { return currentSlot_; }
    // Signed 16 bits, wrapping from 32767 to -32768 in catalogue order.
    int16_t sequenceCounter() const { return sequenceCounter_; }
    void setSequenceCounter(int16_t value) { sequenceCounter_ = value; }

private:
    SlotFlags candidates(const PlaneTypeFlags& enabled) const;
    int nextInOrder(const SlotFlags& candidates);
    static int nextAtRandom(const SlotFlags& candidates, UniformSource& source);

    int currentSlot_ = 0;
    int16_t sequenceCounter_ = 0;
    SlotFlags setAside_{};
};

// Where the catalogue order of the flight of monitor `monitor` (0 the
// primary) of `monitorCount` begins: the enabled flights shared out evenly,
// so that the monitors start at different slots wherever there are enough.
int firstSlotOffset(int monitor, int monitorCount, int enabledFlights);

// How many flights the types enable (every one when none is enabled, as the
// choice counts them).
int enabledFlightCount(const PlaneTypeFlags& enabled);
