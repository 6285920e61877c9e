#include "core/LwADateTime.h"
#include "core/LwBarnXml.h"
#include "core/LwError.h"
#include "BarnTestText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

LwADateTime Parse(const std::string& text, int millisecond = 0)
{
    LwADateTime t;
    t.FromString(text);
    t.Millisecond = millisecond;
    return t;
}

std::string ErrorOf(LwADateTime& t, const std::string& text)
{
    try {
        t.FromString(text);
    } catch (const LwError& e) {
        return e.Message();
    }
    return "ok";
}

std::vector<std::vector<std::string>> LoadTable(const std::string& kind)
{
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(LW_TEST_DATA_DIR "/datetime_table.txt");
    EXPECT_TRUE(in.good()) << "missing reference table";
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream s(line);
        std::string f;
        while (std::getline(s, f, '\t'))
            fields.push_back(f);
        if (!fields.empty() && fields[0] == kind)
            rows.push_back(fields);
    }
    return rows;
}

// Fields of a date-time read at `seconds` since the epoch nine hours east of
// UTC, computed without the environment: gmtime of the shifted instant.
std::tm Utc9(std::time_t seconds)
{
    const std::time_t shifted = seconds + 9 * 3600;
    std::tm tm{};
    gmtime_r(&shifted, &tm);
    return tm;
}

bool SameInstant(const LwADateTime& d, const std::tm& tm)
{
    return d.Year == tm.tm_year + 1900 && d.Month == tm.tm_mon && d.Day == tm.tm_mday - 1 &&
           d.Hour == tm.tm_hour && d.Minute == tm.tm_min && d.Second == tm.tm_sec;
}

// Restores the process's TZ after a test that changes it.
class TimeZoneGuard
{
public:
    TimeZoneGuard()
    {
        if (const char* tz = std::getenv("TZ"))
            saved_ = tz;
    }
    ~TimeZoneGuard()
    {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

}  // namespace

TEST(LwADateTime, NewDateTimeIsYearZero)
{
    const LwADateTime t;
    EXPECT_EQ(t.ToString(), "0/01/01 00:00:00");
    EXPECT_EQ(t.TimeZone, "TZ=JST-9");
    EXPECT_EQ(t.Millisecond, 0);
}

TEST(LwADateTime, ArithmeticMatchesPythonDatetime)
{
    // Differences across month, year and leap boundaries of years 1 to 9999
    // and random spans, from scripts/make_datetime_table.py.
    const auto rows = LoadTable("diff");
    ASSERT_GT(rows.size(), 1000u);
    for (const auto& r : rows) {
        SCOPED_TRACE(r[1] + " minus " + r[3]);
        ASSERT_EQ(r.size(), 8u);
        const LwADateTime a = Parse(r[1], std::stoi(r[2]));
        const LwADateTime b = Parse(r[3], std::stoi(r[4]));
        EXPECT_EQ(a.ToString(), r[1]);
        EXPECT_EQ(b.ToString(), r[3]);
        EXPECT_EQ(LwADateTime::DayOfYear(a.Year, a.Month, a.Day), std::stoi(r[6]));
        EXPECT_EQ(LwADateTime::DayOfYear(b.Year, b.Month, b.Day), std::stoi(r[7]));

        const double seconds = std::stoll(r[5]) / 1000.0;
        // The difference is summed in double from the day count (up to 3e11 s)
        // and two times of day (up to 86400 s each, milliseconds as 0.001 s,
        // which is inexact): a few units in the last place of the largest part.
        const double tolerance = 8 * DBL_EPSILON * (std::fabs(seconds) + 2 * 86400.0);
        EXPECT_NEAR(a.DiffSeconds(b), seconds, tolerance);
        EXPECT_NEAR(b.DiffSeconds(a), -seconds, tolerance);
        EXPECT_EQ(a.IsLaterThan(b), seconds > 0);
        EXPECT_EQ(b.IsLaterThan(a), seconds < 0);

        // Whole calendar days between the two dates.
        const double dayPart = (a.Hour * 3600.0 + a.Minute * 60 + a.Second + a.Millisecond / 1000.0) -
                               (b.Hour * 3600.0 + b.Minute * 60 + b.Second + b.Millisecond / 1000.0);
        const double days = std::round((seconds - dayPart) / 86400);
        EXPECT_EQ(LwADateTime::DiffDaysOverYears(a, b), static_cast<std::int64_t>(days));
        if (a.Year == b.Year) {
            EXPECT_EQ(LwADateTime::DiffDaysInYear(a, b), static_cast<int>(days));
        }
    }
}

TEST(LwADateTime, ValidationMatchesPythonDatetime)
{
    // Month, day and time validity of Python's datetime, including the leap
    // rule at 100, 400, 1900, 2000 and 2100.
    const auto rows = LoadTable("check");
    ASSERT_GT(rows.size(), 1000u);
    for (const auto& r : rows) {
        SCOPED_TRACE(r[1]);
        LwADateTime t;
        EXPECT_EQ(ErrorOf(t, r[1]), r[2]);
    }
}

TEST(LwADateTime, TextFormAndItsLaxReading)
{
    const struct
    {
        const char* text;
        const char* result;
        const char* why;
    } rows[] = {
        {"2024/2/29 7:8:9", "2024/02/29 07:08:09", "one-digit fields"},
        {"2000/02/29 00:00:00", "2000/02/29 00:00:00", "2000 is a leap year"},
        {" 2024/ 2/ 9   7: 8: 9 and more", "2024/02/09 07:08:09", "blanks before numbers, tail ignored"},
        {"2024/2/2907:08:09", "2024/02/29 07:08:09", "no blank between day and hour"},
        {"+2024/+2/+9 +7:+8:+9", "2024/02/09 07:08:09", "signs"},
        {"-44/3/15 12:00:00", "-44/03/15 12:00:00", "the year is not checked"},
        {"2026/12/31\t23:59:59", "2026/12/31 23:59:59", "tab between day and hour"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        LwADateTime t;
        EXPECT_EQ(ErrorOf(t, r.text), "ok");
        EXPECT_EQ(t.ToString(), r.result);
    }
}

TEST(LwADateTime, MalformedTextsLeaveEverythingUnchanged)
{
    const char* texts[] = {
        "2026/12/01",  // date only
        "",  // nothing
        "2026-12-01 10:00:00",  // wrong separator
        "2026/123/01 10:00:00",  // month of three digits
        "2026/12/01T10:00:00",  // no number after the day
        "2026/12/01 10:00",  // no second
        "2026/ /01 10:00:00",  // missing month
        "2026/-/01 10:00:00",  // sign without digits
        "99999999999/01/01 00:00:00",  // year beyond 32 bits
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        LwADateTime t = Parse("2001/02/03 04:05:06", 7);
        EXPECT_EQ(ErrorOf(t, text), "illigal String");
        EXPECT_EQ(t.ToString(), "2001/02/03 04:05:06");
        EXPECT_EQ(t.Millisecond, 7);
    }
}

TEST(LwADateTime, FailedCheckKeepsTheFieldsSetBeforeIt)
{
    LwADateTime t = Parse("2001/05/03 04:05:06");
    EXPECT_EQ(ErrorOf(t, "2023/2/29 7:8:9"), "illigal date value");
    EXPECT_EQ(t.Year, 2023);
    EXPECT_EQ(t.Month, 1);
    EXPECT_EQ(t.Day, 2);  // still the 3rd
    EXPECT_EQ(t.Hour, 4);

    t = Parse("2001/05/03 04:05:06");
    EXPECT_EQ(ErrorOf(t, "2026/12/01 10:60:00"), "Illigal min");
    EXPECT_EQ(t.ToString(), "2026/12/01 04:05:06");  // hour not set: all three go together

    EXPECT_EQ(ErrorOf(t, "1900/02/29 00:00:00"), "illigal date value");
    EXPECT_EQ(ErrorOf(t, "2026/13/01 00:00:00"), "illigal month value");
    EXPECT_EQ(ErrorOf(t, "2026/12/01 24:00:00"), "Illigal Hour");
}

TEST(LwADateTime, SettersCheckTheirRanges)
{
    LwADateTime t = Parse("2024/01/31 00:00:00");
    EXPECT_THROW(t.SetTime(-1, 0, 0), LwError);
    EXPECT_THROW(t.SetTime(0, -1, 0), LwError);
    EXPECT_THROW(t.SetTime(0, 0, -1), LwError);
    EXPECT_THROW(t.SetMonth(0), LwError);
    EXPECT_THROW(t.SetDay(0), LwError);
    t.SetMonth(2);  // the day keeps its value even where February is shorter
    EXPECT_EQ(t.Day, 30);
    EXPECT_THROW(t.SetDay(30), LwError);
    t.SetDay(29);
    EXPECT_EQ(t.ToString(), "2024/02/29 00:00:00");
}

TEST(LwADateTime, DifferencesInSeconds)
{
    const struct
    {
        const char* a;
        const char* b;
        double seconds;
    } rows[] = {
        {"2026/01/01 00:00:01", "2025/12/31 23:59:59", 2},
        {"2025/12/31 23:59:59", "2026/01/01 00:00:01", -2},
        {"2024/03/01 00:00:00", "2024/02/28 00:00:00", 172800},
        {"2025/01/01 10:00:00", "2023/01/01 10:00:00", 731 * 86400.0},
        {"2026/03/07 09:05:00", "2026/03/07 09:05:00", 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.a) + " - " + r.b);
        EXPECT_EQ(Parse(r.a).DiffSeconds(Parse(r.b)), r.seconds);
    }
    // Milliseconds count in the difference but not in the text form.
    const LwADateTime late = Parse("2026/03/07 09:05:00", 250);
    const LwADateTime early = Parse("2026/03/07 09:05:00", 0);
    EXPECT_DOUBLE_EQ(late.DiffSeconds(early), 0.25);
    EXPECT_TRUE(late.IsLaterThan(early));
    EXPECT_EQ(Parse(late.ToString()).DiffSeconds(early), 0.0);
    EXPECT_FALSE(early.IsLaterThan(early));
    EXPECT_FALSE(Parse("2026/03/07 09:05:00").IsLaterThan(early));
}

TEST(LwADateTime, DaysOverDistantYearsAgreeWithSummedYearLengths)
{
    // The closed form against summing year lengths one by one, including
    // years before 1 (proleptic calendar).
    const int pairs[][2] = {{-1000, 3000}, {-401, -1}, {0, 1}, {1, 400}, {1899, 2101}, {-5, 5}};
    for (const auto& p : pairs) {
        SCOPED_TRACE(std::to_string(p[0]) + ".." + std::to_string(p[1]));
        LwADateTime a, b;
        a.Year = p[1];
        a.Month = 6;
        a.Day = 14;
        b.Year = p[0];
        b.Month = 1;
        b.Day = 27;
        std::int64_t summed =
            LwADateTime::GetMonthTable(b.Year)[12] - LwADateTime::DayOfYear(b.Year, b.Month, b.Day);
        for (int y = p[0] + 1; y < p[1]; ++y)
            summed += LwADateTime::GetMonthTable(y)[12];
        summed += LwADateTime::DayOfYear(a.Year, a.Month, a.Day);
        EXPECT_EQ(LwADateTime::DiffDaysOverYears(a, b), summed);
        EXPECT_EQ(LwADateTime::DiffDaysOverYears(b, a), -summed);
    }
}

TEST(LwADateTime, CopyTakesEveryField)
{
    LwADateTime a = Parse("2024/02/29 07:08:09", 321);
    LwADateTime b;
    b = a;
    EXPECT_EQ(b.ToString(), a.ToString());
    EXPECT_EQ(b.Millisecond, 321);
    EXPECT_EQ(b.DiffSeconds(a), 0.0);
}

TEST(LwADateTime, SetNowIsUtcPlusNineWhateverTheHostZone)
{
    const TimeZoneGuard guard;
    const char* zones[] = {nullptr, "UTC0",  "EST5EDT,M3.2.0,M11.1.0", "NZST-12NZDT,M9.5.0,M4.1.0/3",
                           "XYZ+3", "JST-9", ":America/New_York"};
    for (const char* zone : zones) {
        SCOPED_TRACE(zone ? zone : "(no TZ)");
        if (zone)
            setenv("TZ", zone, 1);
        else
            unsetenv("TZ");
        tzset();
        LwADateTime now;
        now.Millisecond = 500;
        const std::time_t before = std::time(nullptr);
        now.SetNow();
        const std::time_t after = std::time(nullptr);
        // The clock may tick between the readings: one of the seconds read
        // around the call must be the one SetNow saw.
        bool matched = false;
        for (std::time_t t = before; t <= after; ++t)
            matched = matched || SameInstant(now, Utc9(t));
        EXPECT_TRUE(matched) << now.ToString();
        EXPECT_EQ(now.Millisecond, 0);
    }
}

TEST(LwADateTime, BarnElementRoundTrip)
{
    LwBarnXml out("w");
    out.OpenRack("d");
    LwADateTime stamp = Parse("2024/02/29 07:08:09", 123);
    EXPECT_TRUE(stamp.BarnValue(out, "Start"));
    out.CloseRack("d");
    const std::string text = barn_test::WrittenText(out);
    EXPECT_NE(text.find("<Start>2024/02/29 07:08:09</Start>"), std::string::npos) << text;

    auto in = barn_test::Parse(text);
    ASSERT_TRUE(in->OpenRack("d"));
    LwADateTime read;
    EXPECT_TRUE(read.BarnValue(*in, "Start"));
    EXPECT_EQ(read.ToString(), "2024/02/29 07:08:09");
    EXPECT_EQ(read.Millisecond, 0);  // not stored
    // The element was consumed: a second read finds none and changes nothing.
    EXPECT_FALSE(read.BarnValue(*in, "Start"));
    EXPECT_EQ(read.ToString(), "2024/02/29 07:08:09");
}

TEST(LwADateTime, BarnElementReadErrorsPassThrough)
{
    auto in = barn_test::Parse("<d><Start>2023/02/29 00:00:00</Start><End>yesterday</End></d>");
    ASSERT_TRUE(in->OpenRack("d"));
    LwADateTime t;
    EXPECT_EQ(barn_test::ErrorText([&] { t.BarnValue(*in, "Start"); }), "illigal date value");
    EXPECT_EQ(barn_test::ErrorText([&] { t.BarnValue(*in, "End"); }), "illigal String");
    EXPECT_FALSE(t.BarnValue(*in, "Missing"));
}
