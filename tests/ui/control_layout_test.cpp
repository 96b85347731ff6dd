#include <gtest/gtest.h>

#include <set>

#include "ui/control_layout.h"

namespace {
struct Expected {
    int id;
    ControlKind kind;
    int x, y, width, height;
};
} // namespace

TEST(ControlLayout, EveryControlHasItsIdKindAndPlaceInCreationOrder)
{
    using K = ControlKind;
    // Check boxes 12 x 12 at row + 2, edits 16 high, buttons 20 high at their own row,
    // lists at row - 5 with their drop height.
    const Expected expected[] = {
        {32788, K::Edit, 111, 119, 1200, 16},   {32798, K::CheckBox, 5, 149, 12, 12},
        {32800, K::CheckBox, 536, 149, 12, 12}, {32771, K::CheckBox, 748, 149, 12, 12},
        {32802, K::CheckBox, 5, 177, 12, 12},   {32804, K::Button, 217, 175, 60, 20},
        {32776, K::CheckBox, 748, 177, 12, 12}, {32808, K::List, 217, 198, 40, 120},
        {32809, K::CheckBox, 323, 205, 12, 12}, {32810, K::CheckBox, 430, 205, 12, 12},
        {32811, K::CheckBox, 536, 205, 12, 12}, {32774, K::CheckBox, 652, 205, 12, 12},
        {32773, K::CheckBox, 748, 205, 12, 12}, {32818, K::List, 217, 226, 50, 200},
        {32819, K::CheckBox, 323, 233, 12, 12}, {32820, K::List, 455, 226, 70, 230},
        {32821, K::CheckBox, 572, 233, 12, 12}, {32834, K::CheckBox, 217, 289, 12, 12},
        {32833, K::CheckBox, 323, 289, 12, 12}, {32835, K::CheckBox, 430, 289, 12, 12},
        {32828, K::Edit, 107, 259, 100, 16},    {32829, K::Button, 223, 257, 60, 20},
        {32830, K::Button, 305, 257, 60, 20},   {32831, K::List, 375, 254, 100, 300},
        {32832, K::Button, 576, 257, 60, 20},   {32847, K::Button, 111, 313, 45, 20},
        {32848, K::List, 323, 310, 55, 144},    {32849, K::List, 536, 310, 55, 144},
        {32839, K::Edit, 217, 343, 50, 16},     {32840, K::List, 353, 338, 45, 144},
        {32841, K::List, 566, 338, 70, 230},    {32855, K::CheckBox, 652, 317, 12, 12},
        {32851, K::CheckBox, 5, 373, 12, 12},   {32853, K::CheckBox, 71, 373, 12, 12},
        {32852, K::CheckBox, 151, 373, 12, 12}, {32850, K::List, 323, 366, 50, 200},
        {32854, K::List, 566, 366, 60, 300},    {32838, K::Button, 758, 341, 90, 20},
        {32857, K::Button, 758, 369, 90, 20},
    };
    const std::vector<ControlSpec>& layout = gf_controlLayout();
    ASSERT_EQ(layout.size(), std::size(expected));
    for (size_t i = 0; i < layout.size(); ++i) {
        const Expected& e = expected[i];
        const ControlPlace p = gf_controlPlace(layout[i]);
        EXPECT_EQ(layout[i].control->controlId, e.id) << i;
        EXPECT_EQ(layout[i].kind, e.kind) << e.id;
        EXPECT_EQ(p.x, e.x) << e.id;
        EXPECT_EQ(p.y, e.y) << e.id;
        EXPECT_EQ(p.width, e.width) << e.id;
        EXPECT_EQ(p.height, e.height) << e.id;
    }
}

TEST(ControlLayout, IdsAreUniqueAndButtonsAndEditsAreBoundToTheirKind)
{
    std::set<int> ids;
    for (const ControlSpec& spec : gf_controlLayout()) {
        EXPECT_TRUE(ids.insert(spec.control->controlId).second) << spec.control->controlId;
        bool bound = true;
        switch (spec.kind) {
        case ControlKind::Button:
            bound = dynamic_cast<Button*>(spec.control) != nullptr;
            break;
        case ControlKind::Edit:
            bound = dynamic_cast<EditParameter*>(spec.control) != nullptr;
            break;
        case ControlKind::CheckBox:
            bound = dynamic_cast<CheckBoxParameter*>(spec.control) != nullptr;
            break;
        case ControlKind::List:
            break;
        }
        EXPECT_TRUE(bound) << spec.control->controlId;
    }
}
