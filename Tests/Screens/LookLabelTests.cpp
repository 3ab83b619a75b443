// Every look name of the sample configuration fits its label in the look strip: the default face
// must be as narrow as the phone font the 54-point cells were sized for.
#include "MainScreenTestSupport.h"

#include <View/RUXFilterBarCell.h>

namespace {

using MainScreenTest::MainScreenFixture;

class LookLabels : public MainScreenFixture {};

TEST_F(LookLabels, EveryConfiguredNameFitsItsCellWithoutBeingCut) {
    const auto cell = RUXFilterBarCell::create({0, 0, 54, 80});
    const auto& filters = editor->filterBar()->filters();
    ASSERT_GE(filters.size(), 14u);
    for (const auto& filter : filters) {
        const std::string name = editor->configuration()->nameForTransformation(*filter).value_or("");
        ASSERT_FALSE(name.empty());
        cell->setText(name);
        const auto& label = cell->label();
        const double width = label->font()->widthOfText(name);
        EXPECT_GT(width, 0) << name << ": no face was found";
        EXPECT_LE(width, label->bounds().size.width)
            << name << " is cut at " << label->font()->pointSize() << " points";
    }
}

} // namespace
