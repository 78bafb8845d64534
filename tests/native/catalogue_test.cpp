// The plane catalogue's table and the choice of the next plane.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "saver/catalogue.h"
#include "settings/settings.h"
#include "settings/settings_logic.h"

namespace {

// The number in an image name "In<n>.jpg", or -1.
int imageNumber(const std::string& name)
{
    if (name.size() < 7 || name.rfind("In", 0) != 0 || name.substr(name.size() - 4) != ".jpg")
        return -1;
    return std::stoi(name.substr(2, name.size() - 6));
}

PlaneTypeFlags typesOf(std::initializer_list<PlaneType> types)
{
    PlaneTypeFlags flags;
    for (PlaneType type : types)
        flags.set(type, true);
    return flags;
}

std::vector<int> picks(PlaneSelection& selection, const PlaneTypeFlags& enabled, bool random, int count,
                       std::uint32_t seed = 1)
{
    SeededUniformSource source(seed);
    std::vector<int> slots;
    for (int i = 0; i < count; ++i)
        slots.push_back(selection.chooseNext(enabled, random, source));
    return slots;
}

// The catalogue order exactly as described: one counter step per candidate,
// through every value of the signed 16-bit range.
int literalNextInOrder(int16_t& counter, const PlaneTypeFlags& enabled)
{
    for (;;) {
        counter = counter == 32767 ? int16_t(-32768) : int16_t(counter + 1);
        if (counter >= 1 && counter <= 20 && enabled[catalogueTable[counter - 1].type])
            return counter;
    }
}

// Pearson's chi-square of the counts against equal expectations.
double chiSquare(const std::map<int, int>& counts, int total)
{
    const double expected = double(total) / counts.size();
    double sum = 0;
    for (const auto& [slot, count] : counts)
        sum += (count - expected) * (count - expected) / expected;
    return sum;
}

} // namespace

TEST(CatalogueTable, ImagePairsAreAnOddWhiteAndTheNextEvenBlack)
{
    std::set<int> used;
    for (int number = 1; number <= slotCount; ++number) {
        const PlaneSlotEntry& entry = catalogueTable[number - 1];
        SCOPED_TRACE("slot " + std::to_string(number));
        const int white = imageNumber(entry.whiteImage);
        const int black = imageNumber(entry.blackImage);
        EXPECT_EQ(white % 2, 1) << entry.whiteImage;
        EXPECT_EQ(black, white + 1) << entry.whiteImage << " / " << entry.blackImage;
        EXPECT_TRUE(used.insert(white).second) << entry.whiteImage << " used twice";
        EXPECT_TRUE(used.insert(black).second) << entry.blackImage << " used twice";
    }
    std::set<int> unused;
    for (int n = 1; n <= 46; ++n)
        if (!used.count(n))
            unused.insert(n);
    EXPECT_EQ(unused, (std::set<int>{13, 14, 21, 22, 35, 36}));
    EXPECT_EQ(*used.rbegin(), 46);
}

TEST(CatalogueTable, DirectionAgreesWithTheHorizontalStep)
{
    for (int number = 1; number <= slotCount; ++number) {
        const PlaneSlotEntry& entry = catalogueTable[number - 1];
        SCOPED_TRACE("slot " + std::to_string(number));
        if (entry.direction == enterLeft)
            EXPECT_GT(entry.horizontalStep, 0);
        else if (entry.direction == enterRight)
            EXPECT_LT(entry.horizontalStep, 0);
        else
            ADD_FAILURE() << "direction " << entry.direction;
    }
}

TEST(CatalogueTable, EveryTypeHasItsSlots)
{
    const std::map<PlaneType, std::vector<int>> slotsByType{
        {PlaneType::F16, {1, 5, 19, 20}}, {PlaneType::Wing, {2}},        {PlaneType::SR71, {3}},
        {PlaneType::F22, {4, 8, 12, 17}}, {PlaneType::Awac, {6}},        {PlaneType::B2, {7, 13}},
        {PlaneType::Other, {9, 15, 16}},  {PlaneType::F117, {10}},       {PlaneType::B52, {11}},
        {PlaneType::F15, {14}},           {PlaneType::U2, {18}},
    };
    std::map<PlaneType, std::vector<int>> actual;
    for (int number = 1; number <= slotCount; ++number)
        actual[catalogueTable[number - 1].type].push_back(number);
    EXPECT_EQ(actual, slotsByType);
}

TEST(PlaneTypes, EachSettingsFlagEnablesItsOwnTypeOnly)
{
    for (const PlaneTypeRow& row : planeTypes) {
        SCOPED_TRACE(row.valueName);
        SaverSettings settings;
        settings.*row.flag = true;
        const PlaneTypeFlags flags = enabledPlaneTypes(settings);
        for (const PlaneTypeRow& other : planeTypes)
            EXPECT_EQ(flags[other.type], other.type == row.type) << other.valueName;
    }
}

TEST(PlaneCatalogue, BuildsFullPathsUnderTheDataPath)
{
    PlaneCatalogue catalogue;
    EXPECT_FALSE(catalogue.built());
    catalogue.build("C:\\WIN.98\\");
    EXPECT_TRUE(catalogue.built());
    EXPECT_EQ(catalogue.slot(1).whiteImage, "C:\\WIN.98\\In1.jpg");
    EXPECT_EQ(catalogue.slot(1).blackImage, "C:\\WIN.98\\In2.jpg");
    const PlaneSlot& last = catalogue.slot(20);
    EXPECT_EQ(last.whiteImage, "C:\\WIN.98\\In9.jpg");
    EXPECT_EQ(last.blackImage, "C:\\WIN.98\\In10.jpg");
    EXPECT_EQ(last.direction, enterRight);
    EXPECT_EQ(last.horizontalStep, -16);
    EXPECT_EQ(last.verticalStep, 1);
    EXPECT_EQ(last.type, PlaneType::F16);
    EXPECT_THROW(catalogue.slot(0), std::out_of_range);
    EXPECT_THROW(catalogue.slot(21), std::out_of_range);
}

TEST(SelectionInOrder, FollowsTheCatalogueCyclically)
{
    PlaneSelection selection;
    EXPECT_EQ(picks(selection, PlaneTypeFlags::all(), false, 21),
              (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 1}));

    PlaneSelection f16;
    EXPECT_EQ(picks(f16, PlaneTypeFlags::only(PlaneType::F16), false, 9),
              (std::vector<int>{1, 5, 19, 20, 1, 5, 19, 20, 1}));

    PlaneSelection b52;
    EXPECT_EQ(picks(b52, PlaneTypeFlags::only(PlaneType::B52), false, 3), (std::vector<int>{11, 11, 11}));
    EXPECT_EQ(b52.currentSlot(), 11);
}

TEST(SelectionInOrder, ResetStartsAgainAtTheLowestEnabledSlot)
{
    PlaneSelection selection;
    const PlaneTypeFlags enabled = typesOf({PlaneType::F22, PlaneType::U2});
    EXPECT_EQ(picks(selection, enabled, false, 3), (std::vector<int>{4, 8, 12}));
    selection.resetSequence();
    EXPECT_EQ(picks(selection, enabled, false, 6), (std::vector<int>{4, 8, 12, 17, 18, 4}));
}

TEST(SelectionInOrder, TheCounterWrapsPast32767BackToSlot1)
{
    for (int start : {20, 21, 1000, 32766, 32767, -32768, -2, -1}) {
        SCOPED_TRACE("counter " + std::to_string(start));
        PlaneSelection selection;
        selection.setSequenceCounter(static_cast<int16_t>(start));
        EXPECT_EQ(picks(selection, PlaneTypeFlags::all(), false, 2), (std::vector<int>{1, 2}));
        EXPECT_EQ(selection.sequenceCounter(), 2);
    }
    PlaneSelection nearEnd;
    nearEnd.setSequenceCounter(18);
    EXPECT_EQ(picks(nearEnd, PlaneTypeFlags::only(PlaneType::F16), false, 3), (std::vector<int>{19, 20, 1}));
}

TEST(SelectionInOrder, GivesTheSameSlotAndCounterAsSteppingThroughEveryValue)
{
    const PlaneTypeFlags flagSets[] = {
        PlaneTypeFlags::all(), PlaneTypeFlags::only(PlaneType::F16), PlaneTypeFlags::only(PlaneType::B52),
        PlaneTypeFlags::only(PlaneType::Other), typesOf({PlaneType::Wing, PlaneType::U2})};
    std::vector<int> starts{-32768, -32767, -20, -1, 32747, 32766, 32767};
    for (int n = 0; n <= 22; ++n)
        starts.push_back(n);
    for (const PlaneTypeFlags& enabled : flagSets) {
        for (int start : starts) {
            SCOPED_TRACE("counter " + std::to_string(start));
            int16_t literalCounter = static_cast<int16_t>(start);
            PlaneSelection selection;
            selection.setSequenceCounter(static_cast<int16_t>(start));
            for (int pick = 0; pick < 3; ++pick) {
                const int expected = literalNextInOrder(literalCounter, enabled);
                EXPECT_EQ(picks(selection, enabled, false, 1).front(), expected);
                EXPECT_EQ(selection.sequenceCounter(), literalCounter);
            }
        }
    }
}

TEST(SelectionAtRandom, PicksOnlyEnabledSlots)
{
    PlaneSelection b52;
    const std::vector<int> only11(50, 11);
    EXPECT_EQ(picks(b52, PlaneTypeFlags::only(PlaneType::B52), true, 50), only11);
    EXPECT_EQ(b52.sequenceCounter(), 0) << "the random order leaves the catalogue counter alone";

    PlaneSelection other;
    std::set<int> seen;
    for (int slot : picks(other, PlaneTypeFlags::only(PlaneType::Other), true, 300, 7))
        seen.insert(slot);
    EXPECT_EQ(seen, (std::set<int>{9, 15, 16}));
}

TEST(SelectionAtRandom, EveryEnabledSlotIsEquallyLikely)
{
    struct Case {
        PlaneTypeFlags enabled;
        int slots;
        double bound;  // chi-square at p = 0.001 for slots - 1 degrees of freedom
    };
    const Case cases[] = {
        {PlaneTypeFlags::only(PlaneType::Other), 3, 13.82},
        {typesOf({PlaneType::F16, PlaneType::B2, PlaneType::U2}), 7, 22.46},
        {PlaneTypeFlags::all(), 20, 43.82},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.slots) + " enabled slots");
        PlaneSelection selection;
        const int total = 1000 * c.slots;
        std::map<int, int> counts;
        for (int slot : picks(selection, c.enabled, true, total, 20261207))
            ++counts[slot];
        ASSERT_EQ(static_cast<int>(counts.size()), c.slots);
        EXPECT_LT(chiSquare(counts, total), c.bound);
    }
}

TEST(SelectionAtRandom, TheSameSlotMayComeTwiceInARow)
{
    PlaneSelection selection;
    const std::vector<int> slots = picks(selection, PlaneTypeFlags::only(PlaneType::F16), true, 200, 3);
    int repeats = 0;
    for (std::size_t i = 1; i < slots.size(); ++i)
        repeats += slots[i] == slots[i - 1];
    EXPECT_GT(repeats, 10) << "about a quarter of 199 pairs should repeat";
}

TEST(SelectionWithNothingEnabled, FliesEveryType)
{
    PlaneSelection inOrder;
    EXPECT_EQ(picks(inOrder, PlaneTypeFlags{}, false, 21),
              (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 1}));

    PlaneSelection atRandom;
    std::set<int> seen;
    for (int slot : picks(atRandom, PlaneTypeFlags{}, true, 1000, 11))
        seen.insert(slot);
    EXPECT_EQ(seen.size(), 20u);
}

TEST(SelectionWithFlightsSetAside, TheOthersGoOnInOrderAndAtRandom)
{
    // Only F16 (slots 1, 5, 19, 20), slot 5's pictures unreadable.
    const PlaneTypeFlags f16 = PlaneTypeFlags::only(PlaneType::F16);
    PlaneSelection inOrder;
    EXPECT_EQ(picks(inOrder, f16, false, 2), (std::vector<int>{1, 5}));
    inOrder.setAside(5);
    EXPECT_EQ(picks(inOrder, f16, false, 6), (std::vector<int>{19, 20, 1, 19, 20, 1}));

    PlaneSelection atRandom;
    atRandom.setAside(5);
    atRandom.setAside(19);
    std::set<int> seen;
    for (int slot : picks(atRandom, f16, true, 400, 5))
        seen.insert(slot);
    EXPECT_EQ(seen, (std::set<int>{1, 20}));
}

TEST(SelectionWithFlightsSetAside, NoSlotWhenEveryEnabledFlightIsSetAside)
{
    // Only B52 (slot 11) and it cannot be shown: the choice ends at once and
    // leaves the selection as it was, in both orders.
    const PlaneTypeFlags b52 = PlaneTypeFlags::only(PlaneType::B52);
    for (const bool random : {false, true}) {
        SCOPED_TRACE(random ? "random" : "in order");
        PlaneSelection selection;
        EXPECT_EQ(picks(selection, b52, random, 1), std::vector<int>{11});
        selection.setAside(11);
        const int16_t counter = selection.sequenceCounter();
        EXPECT_EQ(picks(selection, b52, random, 3), (std::vector<int>(3, PlaneSelection::noSlot)));
        EXPECT_EQ(selection.currentSlot(), 11);
        EXPECT_EQ(selection.sequenceCounter(), counter);
    }
    // Slots of types that are off do not count; with none enabled every
    // type flies, so only all 20 set aside end it.
    PlaneSelection none;
    for (int slot = 1; slot <= slotCount; ++slot) {
        EXPECT_NE(picks(none, PlaneTypeFlags{}, false, 1)[0], PlaneSelection::noSlot) << "before slot " << slot;
        none.setAside(slot);
    }
    EXPECT_EQ(picks(none, PlaneTypeFlags{}, false, 1)[0], PlaneSelection::noSlot);
}

TEST(SelectionOnFurtherMonitors, EachMonitorStartsAtAnotherSlotOfTheEnabledOnes)
{
    // (enabled types, monitors) -> the first slot of each monitor's catalogue
    // order; the primary's is always the lowest enabled slot, as with one monitor.
    const struct {
        const char* name;
        PlaneTypeFlags enabled;
        int monitors;
        std::vector<int> firstSlots;
    } rows[] = {
        {"one monitor", PlaneTypeFlags::all(), 1, {1}},
        {"two, every type", PlaneTypeFlags::all(), 2, {1, 11}},
        {"three, every type", PlaneTypeFlags::all(), 3, {1, 7, 14}},
        {"two, F16 only", PlaneTypeFlags::only(PlaneType::F16), 2, {1, 19}},
        {"three, F16 only", PlaneTypeFlags::only(PlaneType::F16), 3, {1, 5, 19}},
        {"two, F22 and U2", typesOf({PlaneType::F22, PlaneType::U2}), 2, {4, 12}},
        // Fewer flights than monitors: some share a first slot, none is left out.
        {"three, B52 only", PlaneTypeFlags::only(PlaneType::B52), 3, {11, 11, 11}},
        {"nothing enabled flies every type", PlaneTypeFlags{}, 2, {1, 11}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<int> first;
        for (int monitor = 0; monitor < row.monitors; ++monitor) {
            PlaneSelection selection;
            selection.startSequenceAt(row.enabled,
                                      firstSlotOffset(monitor, row.monitors, enabledFlightCount(row.enabled)));
            first.push_back(picks(selection, row.enabled, false, 1)[0]);
        }
        EXPECT_EQ(first, row.firstSlots);
    }
    // The order goes on round the catalogue from there.
    PlaneSelection second;
    second.startSequenceAt(PlaneTypeFlags::only(PlaneType::F16), 2);
    EXPECT_EQ(picks(second, PlaneTypeFlags::only(PlaneType::F16), false, 5), (std::vector<int>{19, 20, 1, 5, 19}));
}

TEST(SelectionOnFurtherMonitors, PassesOverThePlanesFlyingElsewhereWhileOthersAreLeft)
{
    const PlaneTypeFlags f16 = PlaneTypeFlags::only(PlaneType::F16);
    PlaneSelection::SlotFlags flyingElsewhere{};
    flyingElsewhere[5 - 1] = true;   // slot 5 flies on the primary
    SeededUniformSource source(3);

    PlaneSelection inOrder;
    std::vector<int> slots;
    for (int i = 0; i < 5; ++i)
        slots.push_back(inOrder.chooseNext(f16, false, source, flyingElsewhere));
    EXPECT_EQ(slots, (std::vector<int>{1, 19, 20, 1, 19}));

    PlaneSelection atRandom;
    std::set<int> seen;
    for (int i = 0; i < 400; ++i)
        seen.insert(atRandom.chooseNext(f16, true, source, flyingElsewhere));
    EXPECT_EQ(seen, (std::set<int>{1, 19, 20}));

    // The only flight left flies on both rather than leave a monitor still;
    // a flight set aside stays aside whatever flies elsewhere.
    PlaneSelection onlyOne;
    PlaneSelection::SlotFlags b52Elsewhere{};
    b52Elsewhere[11 - 1] = true;
    EXPECT_EQ(onlyOne.chooseNext(PlaneTypeFlags::only(PlaneType::B52), false, source, b52Elsewhere), 11);
    onlyOne.setAside(1);
    onlyOne.setAside(19);
    onlyOne.setAside(20);
    EXPECT_EQ(onlyOne.chooseNext(f16, true, source, flyingElsewhere), 5);
}
