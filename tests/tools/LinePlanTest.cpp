// station-bench's plan of a line: each camera one passed form, nothing else;
// a station that fails sound cameras or submits one twice breaks it.
#include "LinePlan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Form(const char* serial, const char* verdict)
{
    return std::string("order_sn=WO20240301-01&dev_sn=") + serial + "&sn_result=1&total_result=" + verdict
           + "&check_machine_id=";
}

SimLine ThreeCameras()
{
    SimLine line;
    line.count = 3;
    line.serialPrefix = "VT21BN";
    line.firstNumber = 1;
    return line;
}

struct PlanCase {
    const char* name;
    std::vector<std::string> forms;
    int faults;                  // forms that break the plan
    QStringList missing;
};

class LinePlanTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(LinePlanTest, HoldsTheFormsAgainstTheLine)
{
    const PlanCase& c = GetParam();
    LinePlan plan(ThreeCameras());
    int faults = 0;
    for (const std::string& body : c.forms) {
        const LinePlan::Form form = plan.Take(body);
        if (!form.fault.isEmpty()) {
            ++faults;
            EXPECT_TRUE(form.fault.contains(form.serial)) << "the fault names no serial: " << qPrintable(form.fault);
        }
    }
    EXPECT_EQ(faults, c.faults);
    EXPECT_EQ(plan.Missing(), c.missing);
    EXPECT_EQ(plan.Kept(), c.faults == 0 && c.missing.isEmpty());
}

const char* const k1 = "VT21BN0000000001";
const char* const k2 = "VT21BN0000000002";
const char* const k3 = "VT21BN0000000003";

INSTANTIATE_TEST_SUITE_P(
    Forms, LinePlanTest,
    ::testing::Values(
        PlanCase{"EachCameraOncePassed", {Form(k2, "1"), Form(k1, "1"), Form(k3, "1")}, 0, {}},
        PlanCase{"EverySoundCameraFailed", {Form(k1, "-1"), Form(k2, "-1"), Form(k3, "-1")}, 3, {}},
        PlanCase{"OneFailed", {Form(k1, "1"), Form(k2, "-1"), Form(k3, "1")}, 1, {}},
        PlanCase{"NoVerdict", {Form(k1, "1"), Form(k2, ""), Form(k3, "1")}, 1, {}},
        PlanCase{"OneSubmittedTwice", {Form(k1, "1"), Form(k2, "1"), Form(k2, "1"), Form(k3, "1")}, 1, {}},
        PlanCase{"LastSubmittedThrice", {Form(k1, "1"), Form(k2, "1"), Form(k3, "1"), Form(k3, "1"), Form(k3, "1")},
                 2, {}},
        PlanCase{"OneMissing", {Form(k1, "1"), Form(k3, "1")}, 0, {k2}},
        PlanCase{"OneInPlaceOfAnother", {Form(k1, "1"), Form(k1, "1"), Form(k3, "1")}, 1, {k2}},
        PlanCase{"NotOfTheLine",
                 {Form(k1, "1"), Form(k2, "1"), Form(k3, "1"), Form("VT21BN0000000004", "1"),
                  Form("VT21LN0000000001", "1"), Form("", "1")},
                 3, {}}),
    [](const ::testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

TEST(LinePlan, CountsCamerasNotForms)
{
    LinePlan plan(ThreeCameras());
    plan.Take(Form(k1, "1"));
    plan.Take(Form(k1, "1"));
    plan.Take(Form("VT21BN0000000009", "1"));
    EXPECT_EQ(plan.Arrived(), 1) << "a repeated or foreign form counted as a camera of the line";
    plan.Take(Form(k2, "-1"));
    EXPECT_EQ(plan.Arrived(), 2) << "a failed camera still brought its form";
}

}  // namespace
