// The taper tables' shape and some of their measured points; the tables as a whole are
// what tools/make_tapers.py writes.
#include "engine/TaperTables.h"

#include <gtest/gtest.h>

#include <span>
#include <vector>

using namespace brimtone;

namespace {

constexpr int kClean = 1, kLead = 3;
constexpr int curve(int channel, int flavor) { return channel + 4 * flavor; }

template <std::size_t Curves, std::size_t Points>
std::vector<std::span<const double>> curvesOf(const double (&table)[Curves][Points])
{
    return {std::begin(table), std::end(table)};
}

} // namespace

TEST(TaperTables, EveryCurveRisesToExactlyOneAndToneCurvesAgreeAcrossFlavours)
{
    for (const auto& table :
         {curvesOf(tapers::levelTapers), curvesOf(tapers::lowTapers), curvesOf(tapers::midTapers),
          curvesOf(tapers::highTapers), curvesOf(tapers::shapeTapers), curvesOf(tapers::gainTapers)})
        for (std::span<const double> c : table) {
            EXPECT_GE(c.front(), 0.0);
            EXPECT_EQ(c.back(), 1.0);
            for (std::size_t i = 1; i < c.size(); ++i)
                EXPECT_GE(c[i], c[i - 1]) << "point " << i;
        }
    for (const auto* tone : {&tapers::lowTapers, &tapers::midTapers, &tapers::highTapers})
        for (int i = 0; i < 20; ++i) {
            EXPECT_NEAR((*tone)[0][i], i / 19.0, 5e-10) << "Bypass is linear";
            for (int channel = kClean; channel <= kLead; ++channel)
                for (int flavor = 1; flavor < 3; ++flavor)
                    EXPECT_NEAR((*tone)[curve(channel, flavor)][i], (*tone)[curve(channel, 0)][i], 3e-7);
        }
}
