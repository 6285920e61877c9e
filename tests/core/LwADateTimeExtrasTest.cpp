// Calendar arithmetic with carry, comparisons, range-checked setters, the
// short date texts and the weekday of the date-time class.
#include "core/LwADateTime.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

LwADateTime Make(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    LwADateTime t;
    t.Year = y;
    t.Month = mo - 1;
    t.Day = d - 1;
    t.Hour = h;
    t.Minute = mi;
    t.Second = s;
    t.Millisecond = ms;
    return t;
}

LwADateTime ReadDateTime(std::istringstream& in)
{
    int f[7];
    for (int& v : f)
        in >> v;
    return Make(f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
}

std::vector<std::string> LoadRows(const std::string& kind)
{
    std::ifstream in(LW_TEST_DATA_DIR "/datetime_extras_table.txt");
    EXPECT_TRUE(in.good()) << "missing reference table";
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, kind.size() + 1, kind + " ") == 0)
            rows.push_back(line.substr(kind.size() + 1));
    EXPECT_GT(rows.size(), 100u) << kind;
    return rows;
}

}  // namespace

TEST(LwADateTimeExtras, MonthTableFollowsGregorianLeapRule)
{
    EXPECT_EQ(LwADateTime::GetMonthTable(1900)[12], 365);
    EXPECT_EQ(LwADateTime::GetMonthTable(2000)[12], 366);
    EXPECT_EQ(LwADateTime::GetMonthTable(2024)[1], 29);
    EXPECT_EQ(LwADateTime::GetMonthTable(2023)[1], 28);
}

TEST(LwADateTimeExtras, AddDaysMatchesPythonDatetime)
{
    for (const std::string& row : LoadRows("days")) {
        SCOPED_TRACE(row);
        std::istringstream in(row);
        int y, m, d, n, ry, rm, rd;
        in >> y >> m >> d >> n >> ry >> rm >> rd;
        LwADateTime t = Make(y, m, d, 5, 6, 7, 8);
        t.AddDays(n);
        EXPECT_TRUE(t.IsEqual(Make(ry, rm, rd, 5, 6, 7, 8))) << t.ToString();
    }
}

TEST(LwADateTimeExtras, AddDaysEdgeCases)
{
    struct Case
    {
        int y, m, d, n, ry, rm, rd;
    };
    const Case cases[] = {{2024, 2, 28, 1, 2024, 2, 29},  {2024, 2, 28, 2, 2024, 3, 1},
                          {2024, 1, 1, -1, 2023, 12, 31}, {2024, 1, 1, 366, 2025, 1, 1},
                          {2024, 3, 1, -1, 2024, 2, 29},  {2023, 3, 1, 0, 2023, 3, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.y) + "-" + std::to_string(c.m) + "-" + std::to_string(c.d) + " + " +
                     std::to_string(c.n));
        LwADateTime t = Make(c.y, c.m, c.d);
        t.AddDays(c.n);
        EXPECT_EQ(t.ToDateString(), Make(c.ry, c.rm, c.rd).ToDateString());
    }
}

TEST(LwADateTimeExtras, AddHoursMinutesSecondsDropTheFractionAndCarry)
{
    struct Kind
    {
        const char* name;
        void (LwADateTime::*add)(LDouble);
    };
    const Kind kinds[] = {{"hours", &LwADateTime::AddHours},
                          {"minutes", &LwADateTime::AddMinutes},
                          {"seconds", &LwADateTime::AddSeconds}};
    for (const Kind& k : kinds) {
        for (const std::string& row : LoadRows(k.name)) {
            SCOPED_TRACE(std::string(k.name) + " " + row);
            std::istringstream in(row);
            LwADateTime t = ReadDateTime(in);
            double amount;
            in >> amount;
            const LwADateTime expected = ReadDateTime(in);
            (t.*k.add)(amount);
            EXPECT_TRUE(t.IsEqual(expected)) << t.ToString();
        }
    }
    LwADateTime t = Make(2024, 3, 5, 10);
    t.AddHours(1.5);
    EXPECT_EQ(t.ToTimeString(), "11:00:00");
    t = Make(2024, 12, 31, 23, 30);
    t.AddMinutes(90);
    EXPECT_EQ(t.ToString(), "2025/01/01 01:00:00");
}

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date and back (the closed
// forms of H. Hinnant's "chrono-compatible low-level date algorithms"),
// independent of the month walk under test. Month and day 1-based.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

LwADateTime CivilFromDays(std::int64_t z)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return Make(static_cast<int>(yoe + era * 400 + (m <= 2)), m, d);
}

}  // namespace

// Moves of millions of years, by days and by hours, against the closed form.
TEST(LwADateTimeExtras, LargeMovesMatchTheClosedForm)
{
    const int starts[][3] = {{2024, 2, 29}, {1, 1, 1}, {-4713, 11, 24}, {1999, 12, 31}};
    const LwLong moves[] = {2147483647,      -2147483647 - 1, 146097,    -146097,
                            146097 * 3 + 59, -146097 * 5 - 1, 1000000007};
    for (const auto& s : starts) {
        for (const LwLong n : moves) {
            SCOPED_TRACE(std::to_string(s[0]) + "-" + std::to_string(s[1]) + "-" + std::to_string(s[2]) +
                         " + " + std::to_string(n));
            const LwADateTime expected = CivilFromDays(DaysFromCivil(s[0], s[1], s[2]) + n);
            LwADateTime byDays = Make(s[0], s[1], s[2]);
            byDays.AddDays(n);
            EXPECT_TRUE(byDays.IsEqual(expected)) << byDays.ToString() << " expected " << expected.ToString();
            LwADateTime byHours = Make(s[0], s[1], s[2], 7);
            byHours.AddHours(24.0L * n);
            EXPECT_EQ(byHours.Hour, 7);
            EXPECT_EQ(byHours.ToDateString(), expected.ToDateString());
        }
    }
}

// Amounts that are not numbers or move the date beyond what the fields hold
// are refused in words, with every field as it was.
TEST(LwADateTimeExtras, AmountsBeyondTheFieldsAreRefused)
{
    const LDouble inf = std::numeric_limits<LDouble>::infinity();
    const LDouble nan = std::numeric_limits<LDouble>::quiet_NaN();
    const LwLong maxYear = std::numeric_limits<LwLong>::max();
    const struct
    {
        const char* what;
        LwADateTime start;
        std::function<void(LwADateTime&)> add;
        const char* words;
    } rows[] = {
        {"NaN hours", Make(2024, 3, 5, 10), [&](LwADateTime& t) { t.AddHours(nan); },
         "Date and time: an amount of hours must be a finite number"},
        {"infinite hours", Make(2024, 3, 5, 10), [&](LwADateTime& t) { t.AddHours(inf); },
         "Date and time: an amount of hours must be a finite number"},
        {"NaN minutes", Make(2024, 3, 5, 10), [&](LwADateTime& t) { t.AddMinutes(nan); },
         "Date and time: an amount of minutes must be a finite number"},
        {"minus infinite seconds", Make(2024, 3, 5, 10), [&](LwADateTime& t) { t.AddSeconds(-inf); },
         "Date and time: an amount of seconds must be a finite number"},
        {"1e20 hours", Make(2024, 3, 5, 10), [&](LwADateTime& t) { t.AddHours(1e20); },
         "Date and time: 1e+20 hours move the date by more than 2147483647 days"},
        {"-1e20 minutes", Make(2024, 3, 5, 10), [&](LwADateTime& t) { t.AddMinutes(-1e20); },
         "Date and time: -1e+20 minutes move the date by more than 2147483647 days"},
        {"1e15 seconds", Make(2024, 3, 5, 10), [&](LwADateTime& t) { t.AddSeconds(1e15); },
         "Date and time: 1e+15 seconds move the date by more than 2147483647 days"},
        {"one hour past the largest day count", Make(2024, 3, 5, 0),
         [&](LwADateTime& t) { t.AddHours(24.0L * 2147483648.0L); },
         "Date and time: 5.15396e+10 hours move the date by more than 2147483647 days"},
        {"days past the largest year", Make(maxYear - 1, 12, 1), [&](LwADateTime& t) { t.AddDays(400); },
         "Date and time: moving the year 2147483646 by 400 days leaves the years a 32-bit integer holds"},
        {"months past the largest year", Make(maxYear, 12, 1), [&](LwADateTime& t) { t.AddMonths(1); },
         "Date and time: moving the year 2147483647 by 1 months leaves the years a 32-bit integer holds"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        LwADateTime t = row.start;
        EXPECT_EQ(ErrorText([&] { row.add(t); }), row.words);
        EXPECT_TRUE(t.IsEqual(row.start)) << t.ToString();
    }
}

TEST(LwADateTimeExtras, AddMillisecondsMatchesPythonDatetime)
{
    for (const std::string& row : LoadRows("millis")) {
        SCOPED_TRACE(row);
        std::istringstream in(row);
        LwADateTime t = ReadDateTime(in);
        int n;
        in >> n;
        const LwADateTime expected = ReadDateTime(in);
        t.AddMilliseconds(n);
        EXPECT_TRUE(t.IsEqual(expected)) << t.ToString() << " ms " << t.Millisecond;
    }
    LwADateTime t = Make(2024, 3, 5, 7, 8, 9, 900);
    t.AddMilliseconds(1500);
    EXPECT_EQ(t.Millisecond, 400);
    EXPECT_EQ(t.Second, 11);
}

TEST(LwADateTimeExtras, AddMonthsCarriesIntoTheYearWithoutClampingTheDay)
{
    LwADateTime t = Make(2024, 1, 31);
    t.AddMonths(1);
    EXPECT_EQ(t.Month, 1);
    EXPECT_EQ(t.Day, 30);
    t = Make(2024, 1, 15);
    t.AddMonths(-13);
    EXPECT_TRUE(t.IsEqual(Make(2022, 12, 15)));
    t = Make(2024, 11, 15);
    t.AddMonths(26);
    EXPECT_TRUE(t.IsEqual(Make(2027, 1, 15)));
}

TEST(LwADateTimeExtras, DaysLeftInYearMatchesPythonDatetime)
{
    for (const std::string& row : LoadRows("left")) {
        SCOPED_TRACE(row);
        std::istringstream in(row);
        int y, m, d, left;
        in >> y >> m >> d >> left;
        EXPECT_EQ(LwADateTime::DaysLeftInYear(y, m - 1, d - 1), left);
    }
    EXPECT_EQ(LwADateTime::DaysLeftInYear(2024, 11, 30), 0);
    EXPECT_EQ(LwADateTime::DaysLeftInYear(2024, 0, 0), 365);
}

TEST(LwADateTimeExtras, WeekdayMatchesPythonDatetime)
{
    for (const std::string& row : LoadRows("weekday")) {
        SCOPED_TRACE(row);
        std::istringstream in(row);
        int y, m, d, w;
        in >> y >> m >> d >> w;
        EXPECT_EQ(Make(y, m, d).GetDayOfWeek(), w);
    }
    EXPECT_EQ(Make(1995, 1, 1).GetDayOfWeek(), 0);
    EXPECT_EQ(Make(1994, 12, 31).GetDayOfWeek(), 6);
    EXPECT_EQ(Make(1994, 12, 25).GetDayOfWeek(), 0);
    EXPECT_EQ(Make(2024, 1, 1).GetDayOfWeek(), 1);
    EXPECT_EQ(Make(2024, 1, 1).GetWeekdayName(), "Mon");
}

TEST(LwADateTimeExtras, ComparisonsTakeTheFirstDifferingField)
{
    const LwADateTime base = Make(2024, 3, 5, 7, 8, 9, 10);
    EXPECT_FALSE(base.IsBefore(base));
    EXPECT_TRUE(base.IsBeforeOrEqual(base));
    EXPECT_TRUE(base.IsAfterOrEqual(base));
    EXPECT_TRUE(base.IsEqual(base));
    // Each field later by one while every following field is smaller.
    const LwADateTime later[] = {Make(2025, 1, 1),
                                 Make(2024, 4, 1),
                                 Make(2024, 3, 6),
                                 Make(2024, 3, 5, 8),
                                 Make(2024, 3, 5, 7, 9),
                                 Make(2024, 3, 5, 7, 8, 10),
                                 Make(2024, 3, 5, 7, 8, 9, 11)};
    for (const LwADateTime& l : later) {
        SCOPED_TRACE(l.ToString() + " ms " + std::to_string(l.Millisecond));
        EXPECT_TRUE(base.IsBefore(l));
        EXPECT_TRUE(base.IsBeforeOrEqual(l));
        EXPECT_FALSE(base.IsAfterOrEqual(l));
        EXPECT_FALSE(l.IsBefore(base));
        EXPECT_TRUE(l.IsAfterOrEqual(base));
        EXPECT_FALSE(l.IsEqual(base));
    }
}

TEST(LwADateTimeExtras, SettersCheckTheirRangesAndKeepTheFieldOnError)
{
    struct Case
    {
        void (LwADateTime::*set)(int);
        LwLong LwADateTime::*field;
        int last;
    };
    const Case cases[] = {{&LwADateTime::SetHour, &LwADateTime::Hour, 23},
                          {&LwADateTime::SetMinute, &LwADateTime::Minute, 59},
                          {&LwADateTime::SetSecond, &LwADateTime::Second, 59},
                          {&LwADateTime::SetMillisecond, &LwADateTime::Millisecond, 999}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.last);
        LwADateTime t = Make(2024, 3, 5, 7, 8, 9, 10);
        (t.*c.set)(c.last);
        EXPECT_EQ(t.*c.field, c.last);
        (t.*c.set)(0);
        EXPECT_EQ(t.*c.field, 0);
        EXPECT_EQ(ErrorText([&] { (t.*c.set)(c.last + 1); }), "error");
        EXPECT_EQ(ErrorText([&] { (t.*c.set)(-1); }), "error");
        EXPECT_EQ(t.*c.field, 0);
    }
}

TEST(LwADateTimeExtras, SetDateAndItsTextForm)
{
    LwADateTime t;
    t.SetDate(2024, 2, 29);
    EXPECT_EQ(t.ToDateString(), "2024/02/29");
    t.SetDateFromString("1999/12/31");
    EXPECT_EQ(t.ToDateString(), "1999/12/31");

    LwADateTime u = Make(2001, 5, 6);
    EXPECT_EQ(ErrorText([&] { u.SetDateFromString("2024/2/30"); }), "illigal date value");
    EXPECT_EQ(u.Year, 2024);
    EXPECT_EQ(u.Month, 1);
    EXPECT_EQ(u.Day, 5);
    EXPECT_EQ(ErrorText([&] { u.SetDateFromString("2023/13/1"); }), "illigal month value");

    for (const char* bad : {"", "2024", "2024/3", "2024-03-05", "a/b/c", "99999999999/1/1"}) {
        SCOPED_TRACE(bad);
        LwADateTime v = Make(2001, 5, 6);
        EXPECT_EQ(ErrorText([&] { v.SetDateFromString(bad); }), "illigal String");
        EXPECT_TRUE(v.IsEqual(Make(2001, 5, 6)));
    }
}

TEST(LwADateTimeExtras, DateAndTimeTexts)
{
    const LwADateTime t = Make(2024, 3, 5, 7, 8, 9);
    EXPECT_EQ(t.ToShortDateTimeString(), "240305-070809");
    EXPECT_EQ(t.ToShortDateString(), "240305");
    EXPECT_EQ(t.ToCompactDateString(), "20240305");
    EXPECT_EQ(t.ToDateString(), "2024/03/05");
    EXPECT_EQ(t.ToTimeString(), "07:08:09");
    EXPECT_EQ(Make(995, 1, 2).ToShortDateString(), "950102");
    EXPECT_EQ(Make(995, 1, 2).ToCompactDateString(), "09950102");
}
