#include "engine/TaperTables.h"

#include <gtest/gtest.h>

#include <array>
#include <span>
#include <string>
#include <vector>

using namespace brimtone;

namespace {

constexpr int bypass = 0;
constexpr int clean = 1;
constexpr int drive = 2;
constexpr int lead = 3;

constexpr int curveIndex(int channel, int ampMode) { return channel + 4 * ampMode; }
constexpr int gainIndex(int channel, int ampMode) { return (channel - 2) + 2 * ampMode; }

struct Table {
    std::string name;
    std::vector<std::span<const double>> curves;
};

template <std::size_t Curves, std::size_t Points>
Table collect(const std::string& name, const double (&table)[Curves][Points])
{
    Table result{name, {}};
    for (const auto& curve : table) {
        result.curves.emplace_back(curve, Points);
    }
    return result;
}

std::vector<Table> allTables()
{
    return {collect("level", tapers::levelTapers), collect("low", tapers::lowTapers),
            collect("mid", tapers::midTapers),     collect("high", tapers::highTapers),
            collect("shape", tapers::shapeTapers), collect("gain", tapers::gainTapers)};
}

void expectCurve(std::span<const double> actual, const std::vector<double>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i], expected[i]) << "point " << i;
    }
}

std::vector<double> linearCurve(int points)
{
    std::vector<double> curve;
    for (int i = 0; i < points; ++i) {
        curve.push_back(static_cast<double>(i) / (points - 1));
    }
    return curve;
}

} // namespace

TEST(TaperTables, EveryCurveRisesToExactlyOne)
{
    for (const auto& table : allTables()) {
        for (std::size_t c = 0; c < table.curves.size(); ++c) {
            const auto curve = table.curves[c];
            for (std::size_t i = 1; i < curve.size(); ++i) {
                EXPECT_GE(curve[i], curve[i - 1]) << table.name << " curve " << c << " point " << i;
            }
            EXPECT_EQ(curve.back(), 1.0) << table.name << " curve " << c;
            EXPECT_GE(curve.front(), 0.0) << table.name << " curve " << c;
        }
    }
}

TEST(TaperTables, BypassCurvesAreLinearToNineDecimals)
{
    for (const auto& table : allTables()) {
        if (table.name == "gain") {
            continue;
        }
        for (int mode = 0; mode < 3; ++mode) {
            const auto curve = table.curves[curveIndex(bypass, mode)];
            const auto expected = linearCurve(static_cast<int>(curve.size()));
            for (std::size_t i = 0; i < curve.size(); ++i) {
                EXPECT_NEAR(curve[i], expected[i], 5e-10) << table.name << " flavour " << mode;
            }
        }
    }
}

TEST(TaperTables, ToneCurvesMatchTheMeasuredPotsInEveryFlavour)
{
    const std::vector<double> lowClean{0,       0.005098, 0.009703, 0.01485, 0.02066, 0.02723, 0.03461,
                                       0.04307, 0.05271,  0.0638,   0.0767,  0.09187, 0.11,    0.132,
                                       0.1597,  0.1957,   0.2459,   0.3234,  0.4706,  1};
    const std::vector<double> lowDrive{0,       0.008978, 0.01775, 0.02743, 0.03814, 0.05001, 0.06328,
                                       0.07811, 0.09479,  0.1137,  0.1353,  0.1602,  0.1894,  0.2241,
                                       0.2665,  0.3198,   0.3903,  0.4905,  0.6525,  1};
    const std::vector<double> midClean{0,      0.02043, 0.04269, 0.06697, 0.09347, 0.1224, 0.1541,
                                       0.1888, 0.2268,  0.2684,  0.3141,  0.3643,  0.4195, 0.4801,
                                       0.5469, 0.6205,  0.7016,  0.7912,  0.8903,  1};
    const std::vector<double> midDrive{0,    0.01793, 0.03745, 0.05876, 0.08207, 0.1076, 0.1356, 0.1665, 0.2005, 0.2382,
                                       0.28, 0.3264,  0.3784,  0.4366,  0.5022,  0.5764, 0.6609, 0.7578, 0.8697, 1};
    const std::vector<double> highClean{0,       0.00706, 0.01534, 0.02527, 0.03717, 0.0513, 0.06818,
                                        0.08831, 0.1123,  0.141,   0.1752,  0.216,   0.2647, 0.3228,
                                        0.3922,  0.475,   0.5737,  0.6916,  0.8322,  1};
    const std::vector<double> highDrive{0,      0.01654, 0.03496, 0.05552, 0.07847, 0.1041, 0.1326,
                                        0.1644, 0.2,     0.2396,  0.2839,  0.3332,  0.3883, 0.4497,
                                        0.5183, 0.5947,  0.6801,  0.7753,  0.8815,  1};
    for (int mode = 0; mode < 3; ++mode) {
        SCOPED_TRACE("flavour " + std::to_string(mode));
        expectCurve(tapers::lowTapers[curveIndex(clean, mode)], lowClean);
        expectCurve(tapers::midTapers[curveIndex(clean, mode)], midClean);
        expectCurve(tapers::highTapers[curveIndex(clean, mode)], highClean);
        for (int channel : {drive, lead}) {
            expectCurve(tapers::lowTapers[curveIndex(channel, mode)], lowDrive);
            expectCurve(tapers::midTapers[curveIndex(channel, mode)], midDrive);
            expectCurve(tapers::highTapers[curveIndex(channel, mode)], highDrive);
        }
    }
}

TEST(TaperTables, ShapeCurves)
{
    const auto linear = linearCurve(20);
    for (int index : {curveIndex(clean, 0), curveIndex(clean, 1), curveIndex(clean, 2), curveIndex(drive, 2)}) {
        for (std::size_t i = 0; i < linear.size(); ++i) {
            EXPECT_NEAR(tapers::shapeTapers[index][i], linear[i], 5e-10) << "curve " << index;
        }
    }
    expectCurve(tapers::shapeTapers[curveIndex(drive, 0)],
                {0,      0.1419, 0.2566, 0.3518, 0.4323, 0.5016, 0.5621, 0.6156, 0.6634, 0.7065,
                 0.7457, 0.7817, 0.815,  0.8459, 0.875,  0.9023, 0.9283, 0.9531, 0.9769, 1});
    expectCurve(tapers::shapeTapers[curveIndex(lead, 0)],
                {0,      0.3072, 0.4878, 0.6061, 0.6894, 0.7508, 0.7978, 0.8348, 0.8645, 0.8888,
                 0.9089, 0.9258, 0.9401, 0.9523, 0.9629, 0.9722, 0.9803, 0.9875, 0.994,  1});
    expectCurve(tapers::shapeTapers[curveIndex(drive, 1)],
                {0,      0.1223, 0.2238, 0.3099, 0.3845, 0.4502, 0.5089, 0.5619, 0.6103, 0.655,
                 0.6966, 0.7355, 0.7724, 0.8075, 0.8413, 0.8739, 0.9058, 0.9372, 0.9684, 1});
    expectCurve(tapers::shapeTapers[curveIndex(lead, 1)],
                {0,      0.3117, 0.4942, 0.6135, 0.6971, 0.7587, 0.8056, 0.8423, 0.8717, 0.8957,
                 0.9154, 0.9318, 0.9456, 0.9573, 0.9672, 0.9758, 0.9832, 0.9896, 0.9952, 1});
    expectCurve(tapers::shapeTapers[curveIndex(lead, 2)],
                {0,      0.2877, 0.4718, 0.5958, 0.6835, 0.7482, 0.7975, 0.836,  0.8667, 0.8916,
                 0.9122, 0.9293, 0.9436, 0.9557, 0.9661, 0.975,  0.9826, 0.9892, 0.995,  1});
}

TEST(TaperTables, MeasuredLevelAndGainCurves)
{
    expectCurve(tapers::levelTapers[curveIndex(clean, 0)],
                {0.06257, 0.07791, 0.09741, 0.1223, 0.1542, 0.1951, 0.247,  0.311,  0.3863, 0.4686,
                 0.5513,  0.6283,  0.696,   0.7533, 0.8007, 0.8396, 0.8712, 0.8969, 0.9178, 0.9348,
                 0.9486,  0.9598,  0.969,   0.9765, 0.9826, 0.9876, 0.9917, 0.995,  0.9977, 1});
    expectCurve(tapers::levelTapers[curveIndex(drive, 0)],
                {0.002149, 0.00264, 0.003185, 0.003878, 0.004736, 0.005772, 0.007029, 0.008599, 0.0105,  0.01283,
                 0.01569,  0.0192,  0.02353,  0.02884,  0.0354,   0.04352,  0.05359,  0.06613,  0.08181, 0.1015,
                 0.1264,   0.1581,  0.1986,   0.2508,   0.3182,   0.4052,   0.5161,   0.6539,   0.8175,  1});
    expectCurve(tapers::gainTapers[gainIndex(drive, 0)],
                {0.003241, 0.003757, 0.004447, 0.005182, 0.006103, 0.007167, 0.008378, 0.009868, 0.01162, 0.01367,
                 0.0161,   0.01897,  0.02237,  0.02642,  0.0313,   0.03707,  0.04408,  0.05252,  0.06276, 0.07531,
                 0.0908,   0.1101,   0.1346,   0.166,    0.2073,   0.2632,   0.3419,   0.4589,   0.6482,  1});
    expectCurve(tapers::gainTapers[gainIndex(lead, 0)],
                {0.001295, 0.001493, 0.001729, 0.002057, 0.002385, 0.002795, 0.003287, 0.003822, 0.004511, 0.005268,
                 0.006189, 0.007279, 0.008518, 0.01001,  0.01179,  0.01388,  0.01635,  0.01926,  0.02271,  0.02686,
                 0.0318,   0.03771,  0.04496,  0.05463,  0.06761,  0.08504,  0.1135,   0.1717,   0.3109,   1});
}

TEST(TaperTables, DerivedLevelAndGainCurvesStartAtTheirFirstValues)
{
    EXPECT_EQ(tapers::levelTapers[curveIndex(lead, 0)][0], 0.001778);
    EXPECT_EQ(tapers::levelTapers[curveIndex(clean, 1)][0], 0.009466);
    EXPECT_EQ(tapers::levelTapers[curveIndex(clean, 2)][0], 0.009466);
    EXPECT_EQ(tapers::levelTapers[curveIndex(drive, 1)][0], 0.002711);
    EXPECT_EQ(tapers::levelTapers[curveIndex(lead, 1)][0], 0.00271);
    EXPECT_EQ(tapers::levelTapers[curveIndex(drive, 2)][0], 0.002493);
    EXPECT_EQ(tapers::levelTapers[curveIndex(lead, 2)][0], 0.002315);
    EXPECT_EQ(tapers::gainTapers[gainIndex(drive, 1)][0], 0.008996);
    EXPECT_EQ(tapers::gainTapers[gainIndex(lead, 1)][0], 0.005771);
    EXPECT_EQ(tapers::gainTapers[gainIndex(drive, 2)][0], 0.008993);
    EXPECT_EQ(tapers::gainTapers[gainIndex(lead, 2)][0], 0.006067);

    // Clean flavours 1 and 2 share one level curve.
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(tapers::levelTapers[curveIndex(clean, 1)][i], tapers::levelTapers[curveIndex(clean, 2)][i]);
    }
}

TEST(TaperTables, DriveAndLeadCurvesGrowNearlyExponentially)
{
    // Level: about 22 % per point over the first two thirds; gain: 10 to 30 % per point.
    for (int mode = 0; mode < 3; ++mode) {
        for (int channel : {drive, lead}) {
            const double* level = tapers::levelTapers[curveIndex(channel, mode)];
            const double* gain = tapers::gainTapers[gainIndex(channel, mode)];
            for (int i = 1; i < 20; ++i) {
                EXPECT_NEAR(level[i] / level[i - 1], 1.22, 0.04) << "level " << channel << mode;
                EXPECT_NEAR(gain[i] / gain[i - 1], 1.2, 0.1) << "gain " << channel << mode;
            }
        }
    }
}

TEST(TaperTables, CleanLevelCurvesAreSShaped)
{
    // Steep growth in the lower third, flat above the middle.
    for (int mode = 0; mode < 3; ++mode) {
        const double* level = tapers::levelTapers[curveIndex(clean, mode)];
        EXPECT_GT(level[6] / level[3], 1.8) << "flavour " << mode;
        EXPECT_LT(level[29] / level[20], 1.1) << "flavour " << mode;
        EXPECT_GT(level[15], 0.7) << "flavour " << mode;
    }
}
