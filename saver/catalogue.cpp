#include "saver/catalogue.h"

#include <algorithm>
#include <stdexcept>

namespace {

int16_t incrementWrapping(int16_t value)
{
    // Signed 16-bit arithmetic: 32767 + 1 wraps to -32768.
    return static_cast<int16_t>(static_cast<uint16_t>(value) + 1u);
}

} // namespace

const std::array<PlaneSlotEntry, slotCount> catalogueTable{{
    {"In1.jpg", "In2.jpg", enterLeft, 22, -1, PlaneType::F16},
    {"In11.jpg", "In12.jpg", enterLeft, 12, 0, PlaneType::Wing},
    {"In5.jpg", "In6.jpg", enterLeft, 18, -3, PlaneType::SR71},
    {"In17.jpg", "In18.jpg", enterLeft, 15, -4, PlaneType::F22},
    {"In3.jpg", "In4.jpg", enterRight, -14, 2, PlaneType::F16},
    {"In7.jpg", "In8.jpg", enterLeft, 12, -1, PlaneType::Awac},
    {"In45.jpg", "In46.jpg", enterLeft, 17, -3, PlaneType::B2},
    {"In15.jpg", "In16.jpg", enterRight, -14, -1, PlaneType::F22},
    {"In19.jpg", "In20.jpg", enterRight, -13, -1, PlaneType::Other},
    {"In33.jpg", "In34.jpg", enterLeft, 10, -1, PlaneType::F117},
    {"In23.jpg", "In24.jpg", enterLeft, 10, -2, PlaneType::B52},
    {"In25.jpg", "In26.jpg", enterLeft, 14, -3, PlaneType::F22},
    {"In43.jpg", "In44.jpg", enterLeft, 24, -1, PlaneType::B2},
    {"In27.jpg", "In28.jpg", enterRight, -15, -1, PlaneType::F15},
    {"In31.jpg", "In32.jpg", enterLeft, 15, -1, PlaneType::Other},
    {"In29.jpg", "In30.jpg", enterRight, -14, 2, PlaneType::Other},
    {"In37.jpg", "In38.jpg", enterLeft, 15, -1, PlaneType::F22},
    {"In39.jpg", "In40.jpg", enterRight, -15, 0, PlaneType::U2},
    {"In41.jpg", "In42.jpg", enterRight, -16, 3, PlaneType::F16},
    {"In9.jpg", "In10.jpg", enterRight, -16, 1, PlaneType::F16},
}};

void PlaneCatalogue::build(const std::string& dataPath)
{
    for (int i = 0; i < slotCount; ++i) {
        const PlaneSlotEntry& entry = catalogueTable[i];
        PlaneSlot& slot = slots_[i];
        slot.whiteImage = dataPath + entry.whiteImage;
        slot.blackImage = dataPath + entry.blackImage;
        slot.direction = entry.direction;
        slot.horizontalStep = entry.horizontalStep;
        slot.verticalStep = entry.verticalStep;
        slot.type = entry.type;
    }
    built_ = true;
}

const PlaneSlot& PlaneCatalogue::slot(int number) const
{
    if (!isSlotNumber(number))
        throw std::out_of_range("no plane slot " + std::to_string(number));
    return slots_[number - 1];
}

int SeededUniformSource::between(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(engine_);
}

namespace {

bool anySlot(const PlaneSelection::SlotFlags& flags)
{
    return std::find(flags.begin(), flags.end(), true) != flags.end();
}

// With nothing enabled the choice could never end; every type flies instead,
// which is what a first run does.
const PlaneTypeFlags& flyingTypes(const PlaneTypeFlags& enabled)
{
    static const PlaneTypeFlags every = PlaneTypeFlags::all();
    return enabled.any() ? enabled : every;
}

}

int PlaneSelection::chooseNext(const PlaneTypeFlags& enabled, bool random, UniformSource& source)
{
    return chooseNext(enabled, random, source, SlotFlags{});
}

int PlaneSelection::chooseNext(const PlaneTypeFlags& enabled, bool random, UniformSource& source,
                               const SlotFlags& flyingElsewhere)
{
    SlotFlags flying = candidates(flyingTypes(enabled));
    if (!anySlot(flying))
        return noSlot;
    SlotFlags free = flying;
    for (int index = 0; index < slotCount; ++index)
        free[index] = free[index] && !flyingElsewhere[index];
    if (anySlot(free))
        flying = free;
    currentSlot_ = random ? nextAtRandom(flying, source) : nextInOrder(flying);
    return currentSlot_;
}

void PlaneSelection::startSequenceAt(const PlaneTypeFlags& enabled, int offset)
{
    const SlotFlags flying = candidates(flyingTypes(enabled));
    std::array<int, slotCount> numbers{};
    int count = 0;
    for (int number = 1; number <= slotCount; ++number)
        if (flying[number - 1])
            numbers[count++] = number;
    // The next choice climbs from the counter to the first candidate above it.
    sequenceCounter_ = count == 0 ? 0 : static_cast<int16_t>(numbers[((offset % count) + count) % count] - 1);
}

int firstSlotOffset(int monitor, int monitorCount, int enabledFlights)
{
    if (monitorCount <= 0 || enabledFlights <= 0 || monitor <= 0)
        return 0;
    return static_cast<int>(static_cast<int64_t>(monitor) * enabledFlights / monitorCount) % enabledFlights;
}

int enabledFlightCount(const PlaneTypeFlags& enabled)
{
    int count = 0;
    for (const PlaneSlotEntry& entry : catalogueTable)
        count += flyingTypes(enabled)[entry.type] ? 1 : 0;
    return count;
}

void PlaneSelection::setAside(int slot)
{
    if (isSlotNumber(slot))
        setAside_[slot - 1] = true;
}

PlaneSelection::SlotFlags PlaneSelection::candidates(const PlaneTypeFlags& enabled) const
{
    SlotFlags flags{};
    for (int index = 0; index < slotCount; ++index)
        flags[index] = enabled[catalogueTable[index].type] && !setAside_[index];
    return flags;
}

int PlaneSelection::nextInOrder(const SlotFlags& candidates)
{
    // The counter climbs one step per candidate and is never reset, so after
    // slot 20 it runs on to 32767, wraps to -32768 and climbs back to 1. None
    // of the values from 21 round to 0 is a slot: jumping straight to 0 gives
    // the same slot and the same counter as walking through all of them.
    for (;;) {
        sequenceCounter_ = incrementWrapping(sequenceCounter_);
        if (!isSlotNumber(sequenceCounter_)) {
            sequenceCounter_ = 0;
            continue;
        }
        if (candidates[sequenceCounter_ - 1])
            return sequenceCounter_;
    }
}

int PlaneSelection::nextAtRandom(const SlotFlags& candidates, UniformSource& source)
{
    // Equally likely among the candidates: the same distribution as drawing
    // from 1 to 20 until a candidate comes up, without the redraws.
    std::array<int, slotCount> numbers{};
    int count = 0;
    for (int number = 1; number <= slotCount; ++number)
        if (candidates[number - 1])
            numbers[count++] = number;
    return numbers[source.between(1, count) - 1];
}
