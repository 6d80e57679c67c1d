#include "fx/tables/CabinetResponses.h"
#include "fx/tables/SpringResponses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <span>
#include <string>

using namespace brimtone;

namespace {

struct CabinetCase {
    std::string name;
    std::span<const float> table;
    double rate;
    std::array<float, 8> first;
    int peakIndex;
    double sum;
};

std::array<CabinetCase, 4> cabinets()
{
    return {{
        {"44k 1x12",
         cabinetIr44k1x12,
         44100.0,
         {0.103083f, 0.348758f, 0.660199f, 0.91445f, 0.99999f, 0.862867f, 0.559244f, 0.187119f},
         4,
         0.332429},
        {"44k 4x12",
         cabinetIr44k4x12,
         44100.0,
         {0.00370199f, 0.081326f, 0.321227f, 0.653318f, 0.900938f, 1.0f, 0.954679f, 0.72385f},
         5,
         -0.0554954},
        {"48k 1x12",
         cabinetIr48k1x12,
         48000.0,
         {0.0904973f, 0.320133f, 0.629302f, 0.8944f, 1.00003f, 0.886294f, 0.597063f, 0.228653f},
         4,
         0.293853},
        {"48k 4x12",
         cabinetIr48k4x12,
         48000.0,
         {0.0724997f, 0.28657f, 0.595108f, 0.852622f, 0.987924f, 0.99997f, 0.868547f, 0.583237f},
         5,
         -0.478931},
    }};
}

struct SpringCase {
    std::string name;
    std::span<const float> table;
    int peakIndex;
    std::array<float, 6> samples256;
    std::array<double, 4> blockEnergies;
};

std::array<SpringCase, 2> springs()
{
    return {{
        {"left",
         springIrLeft,
         279,
         {-0.0367276f, -0.027067f, -0.0788947f, -0.163316f, -0.108834f, -0.140296f},
         {95.6, 22.7, 8.37, 3.09}},
        {"right",
         springIrRight,
         468,
         {-0.0188652f, -0.0311228f, -0.0130716f, 0.00512329f, -0.00670338f, -0.0268135f},
         {75.5, 21.2, 9.58, 3.94}},
    }};
}

int strongestIndex(std::span<const float> table)
{
    const auto strongest
        = std::max_element(table.begin(), table.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); });
    return static_cast<int>(strongest - table.begin());
}

double maxAbs(std::span<const float> part)
{
    double result = 0.0;
    for (float v : part) {
        result = std::max(result, static_cast<double>(std::fabs(v)));
    }
    return result;
}

double energy(std::span<const float> part)
{
    double result = 0.0;
    for (float v : part) {
        result += static_cast<double>(v) * static_cast<double>(v);
    }
    return result;
}

// Magnitude of the response at one frequency (a single DFT bin, evaluated directly).
double magnitudeAt(std::span<const float> table, double frequency, double rate)
{
    double re = 0.0;
    double im = 0.0;
    for (std::size_t n = 0; n < table.size(); ++n) {
        const double phase = 2.0 * std::numbers::pi * frequency / rate * static_cast<double>(n);
        re += static_cast<double>(table[n]) * std::cos(phase);
        im -= static_cast<double>(table[n]) * std::sin(phase);
    }
    return std::hypot(re, im);
}

} // namespace

TEST(CabinetResponses, StartWithTheMeasuredOnset)
{
    for (const auto& cabinet : cabinets()) {
        ASSERT_EQ(cabinet.table.size(), 1024u);
        for (std::size_t i = 0; i < cabinet.first.size(); ++i) {
            EXPECT_EQ(cabinet.table[i], cabinet.first[i]) << cabinet.name << " sample " << i;
        }
    }
}

TEST(CabinetResponses, PeakAtTheListedIndex)
{
    for (const auto& cabinet : cabinets()) {
        EXPECT_EQ(strongestIndex(cabinet.table), cabinet.peakIndex) << cabinet.name;
    }
}

TEST(CabinetResponses, SumsMatchTheStoredTables)
{
    for (const auto& cabinet : cabinets()) {
        double sum = 0.0;
        for (float v : cabinet.table) {
            sum += static_cast<double>(v);
        }
        EXPECT_NEAR(sum, cabinet.sum, 2e-6) << cabinet.name;
    }
}

TEST(CabinetResponses, DecayToAboutOneThousandthByTheLastSample)
{
    for (const auto& cabinet : cabinets()) {
        const double tail = maxAbs(cabinet.table.last(64));
        EXPECT_GT(tail, 3e-4) << cabinet.name;
        EXPECT_LT(tail, 3e-3) << cabinet.name;
        // The second half carries far less than the onset.
        EXPECT_LT(maxAbs(cabinet.table.subspan(512)), 0.05) << cabinet.name;
    }
}

TEST(CabinetResponses, PassTheGuitarBandAndRollOffAtBothEnds)
{
    for (const auto& cabinet : cabinets()) {
        const double presence = std::max({magnitudeAt(cabinet.table, 1000.0, cabinet.rate),
                                          magnitudeAt(cabinet.table, 2000.0, cabinet.rate),
                                          magnitudeAt(cabinet.table, 3000.0, cabinet.rate)});
        const double bass = magnitudeAt(cabinet.table, 120.0, cabinet.rate);
        // Steep above about 5 kHz: 10 kHz lies more than 26 dB under the presence region.
        EXPECT_LT(magnitudeAt(cabinet.table, 10000.0, cabinet.rate), 0.05 * presence) << cabinet.name;
        // Steep below about 80 Hz: 40 Hz lies 20 dB under the cabinet's bass resonance.
        EXPECT_LT(magnitudeAt(cabinet.table, 40.0, cabinet.rate), 0.1 * bass) << cabinet.name;
        EXPECT_GT(bass, 0.5 * presence) << cabinet.name;
    }
}

TEST(SpringResponses, CarryTheMeasuredSamples256To261)
{
    for (const auto& spring : springs()) {
        ASSERT_EQ(spring.table.size(), 32768u);
        for (std::size_t i = 0; i < spring.samples256.size(); ++i) {
            EXPECT_EQ(spring.table[256 + i], spring.samples256[i]) << spring.name << " " << i;
        }
    }
}

TEST(SpringResponses, PeakOfOneAtTheListedIndex)
{
    for (const auto& spring : springs()) {
        EXPECT_EQ(spring.table[static_cast<std::size_t>(spring.peakIndex)], 1.0f) << spring.name;
        EXPECT_EQ(strongestIndex(spring.table), spring.peakIndex) << spring.name;
    }
}

TEST(SpringResponses, BlockEnergiesWithinTenPercent)
{
    for (const auto& spring : springs()) {
        for (std::size_t block = 0; block < spring.blockEnergies.size(); ++block) {
            const double measured = energy(spring.table.subspan(block * 4096, 4096));
            EXPECT_NEAR(measured / spring.blockEnergies[block], 1.0, 0.1) << spring.name << " block " << block;
        }
    }
}

TEST(SpringResponses, KeepDecayingToTheEnd)
{
    for (const auto& spring : springs()) {
        double previous = energy(spring.table.first(4096));
        for (std::size_t block = 1; block < 8; ++block) {
            const double current = energy(spring.table.subspan(block * 4096, 4096));
            EXPECT_LT(current, 0.8 * previous) << spring.name << " block " << block;
            previous = current;
        }
        // The table ends in silence rather than being cut off.
        EXPECT_LT(maxAbs(spring.table.last(16)), 1e-3) << spring.name;
    }
}
