// Calendar arithmetic with carry, comparisons, range-checked setters, the
// short date texts and the weekday of the date-time class.
#include "core/LwADateTime.h"
#include "core/LwError.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
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

std::string ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const LwError& e) {
        return e.Message();
    }
    return "ok";
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
        EXPECT_EQ(ErrorOf([&] { (t.*c.set)(c.last + 1); }), "error");
        EXPECT_EQ(ErrorOf([&] { (t.*c.set)(-1); }), "error");
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
    EXPECT_EQ(ErrorOf([&] { u.SetDateFromString("2024/2/30"); }), "illigal date value");
    EXPECT_EQ(u.Year, 2024);
    EXPECT_EQ(u.Month, 1);
    EXPECT_EQ(u.Day, 5);
    EXPECT_EQ(ErrorOf([&] { u.SetDateFromString("2023/13/1"); }), "illigal month value");

    for (const char* bad : {"", "2024", "2024/3", "2024-03-05", "a/b/c", "99999999999/1/1"}) {
        SCOPED_TRACE(bad);
        LwADateTime v = Make(2001, 5, 6);
        EXPECT_EQ(ErrorOf([&] { v.SetDateFromString(bad); }), "illigal String");
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
