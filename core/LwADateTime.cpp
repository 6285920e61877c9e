#include "core/LwADateTime.h"

#include "core/LwBarnXml.h"
#include "core/LwError.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <limits>
#include <string>
#include <tuple>

const LwADateTime::MonthTable LwADateTime::kCommonYear = {31, 28, 31, 30, 31, 30, 31,
                                                          31, 30, 31, 30, 31, 365};
const LwADateTime::MonthTable LwADateTime::kLeapYear = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 366};
const std::array<const char*, 7> LwADateTime::kWeekdayNames = {"Sun", "Mon", "Tue", "Wed",
                                                               "Thu", "Fri", "Sat"};

namespace {

bool IsLeapYear(std::int64_t year)
{
    return year % 400 == 0 || (year % 4 == 0 && year % 100 != 0);
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

// Leap years among 1 .. year (for year <= 0, minus those among year+1 .. 0),
// so that LeapsUpTo(b) - LeapsUpTo(a) counts the leap years in a+1 .. b.
std::int64_t LeapsUpTo(std::int64_t year)
{
    return FloorDiv(year, 4) - FloorDiv(year, 100) + FloorDiv(year, 400);
}

// One "%ld" (width 0: unlimited) or "%2ld" conversion of scanf: white space
// skipped, then an optional sign and at least one digit, the sign counting
// toward the width. Values beyond 64 bits saturate; the caller range-checks.
bool ScanLong(const std::string& text, size_t& pos, size_t width, std::int64_t& value)
{
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    const size_t limit = width == 0 ? text.size() : std::min(text.size(), pos + width);
    size_t p = pos;
    bool negative = false;
    if (p < limit && (text[p] == '+' || text[p] == '-'))
        negative = text[p++] == '-';
    const size_t digits = p;
    std::int64_t v = 0;
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max() / 10 - 9;
    for (; p < limit && text[p] >= '0' && text[p] <= '9'; ++p)
        v = v < kMax ? v * 10 + (text[p] - '0') : kMax;
    if (p == digits)
        return false;
    value = negative ? -v : v;
    pos = p;
    return true;
}

bool ScanLiteral(const std::string& text, size_t& pos, char c)
{
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

}  // namespace

LwADateTime::LwADateTime()
    : TimeZone("TZ=JST-9"), Year(0), Month(0), Day(0), Hour(0), Minute(0), Second(0), Millisecond(0)
{}

void LwADateTime::SetNow()
{
    // setenv copies the value, so the environment never points into this
    // object; tzset makes the runtime re-read the zone before localtime_r.
    const size_t eq = TimeZone.find('=');
    if (eq == std::string::npos)
        setenv("TZ", TimeZone.c_str(), 1);
    else
        setenv(TimeZone.substr(0, eq).c_str(), TimeZone.substr(eq + 1).c_str(), 1);
    tzset();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    Year = local.tm_year + 1900;
    Month = local.tm_mon;
    Day = local.tm_mday - 1;
    Hour = local.tm_hour;
    Minute = local.tm_min;
    Second = local.tm_sec;
    Millisecond = 0;
}

std::string LwADateTime::ToString() const
{
    char text[96];
    std::snprintf(text, sizeof text, "%ld/%02ld/%02ld %02ld:%02ld:%02ld", static_cast<long>(Year),
                  static_cast<long>(Month + 1), static_cast<long>(Day + 1), static_cast<long>(Hour),
                  static_cast<long>(Minute), static_cast<long>(Second));
    return text;
}

void LwADateTime::FromString(const std::string& text)
{
    std::int64_t v[6];
    size_t pos = 0;
    // year '/' month '/' day [blanks] hour ':' minute ':' second
    const bool complete = ScanLong(text, pos, 0, v[0]) && ScanLiteral(text, pos, '/') &&
                          ScanLong(text, pos, 2, v[1]) && ScanLiteral(text, pos, '/') &&
                          ScanLong(text, pos, 2, v[2]) && ScanLong(text, pos, 2, v[3]) &&
                          ScanLiteral(text, pos, ':') && ScanLong(text, pos, 2, v[4]) &&
                          ScanLiteral(text, pos, ':') && ScanLong(text, pos, 2, v[5]);
    if (!complete || v[0] < std::numeric_limits<LwLong>::min() || v[0] > std::numeric_limits<LwLong>::max())
        throw LwError("illigal String");
    Year = static_cast<LwLong>(v[0]);
    SetMonth(static_cast<int>(v[1]));
    SetDay(static_cast<int>(v[2]));
    SetTime(static_cast<int>(v[3]), static_cast<int>(v[4]), static_cast<int>(v[5]));
}

void LwADateTime::SetMonth(int month)
{
    if (month < 1 || month > 12)
        throw LwError("illigal month value");
    Month = month - 1;
}

void LwADateTime::SetDay(int day)
{
    // Month is a public field: a day cannot be valid in a month that is not.
    if (Month < 0 || Month > 11 || day < 1 || day > GetMonthTable(Year)[Month])
        throw LwError("illigal date value");
    Day = day - 1;
}

void LwADateTime::SetTime(int hour, int minute, int second)
{
    if (hour < 0 || hour > 23)
        throw LwError("Illigal Hour");
    if (minute < 0 || minute > 59)
        throw LwError("Illigal min");
    if (second < 0 || second > 59)
        throw LwError("Illigal sec");
    Hour = hour;
    Minute = minute;
    Second = second;
}

bool LwADateTime::IsLaterThan(const LwADateTime& o) const
{
    return std::tie(Year, Month, Day, Hour, Minute, Second, Millisecond) >
           std::tie(o.Year, o.Month, o.Day, o.Hour, o.Minute, o.Second, o.Millisecond);
}

const LwADateTime::MonthTable& LwADateTime::GetMonthTable(int year)
{
    return IsLeapYear(year) ? kLeapYear : kCommonYear;
}

int LwADateTime::DayOfYear(int year, int month, int day)
{
    // Valid for month 0 to 11; other months never read outside the table.
    const MonthTable& table = GetMonthTable(year);
    int days = day + 1;
    for (int m = 0; m < std::min(month, 12); ++m)
        days += table[m];
    return days;
}

int LwADateTime::DiffDaysInYear(const LwADateTime& a, const LwADateTime& b)
{
    return DayOfYear(a.Year, a.Month, a.Day) - DayOfYear(b.Year, b.Month, b.Day);
}

std::int64_t LwADateTime::DiffDaysOverYears(const LwADateTime& a, const LwADateTime& b)
{
    if (a.Year == b.Year)
        return DiffDaysInYear(a, b);
    const bool aLater = a.Year > b.Year;
    const LwADateTime& later = aLater ? a : b;
    const LwADateTime& earlier = aLater ? b : a;
    // Rest of the earlier year, whole years between (closed form, so that
    // distant years cost nothing), days of the later year.
    const std::int64_t yearsBetween = std::int64_t(later.Year) - earlier.Year - 1;
    const std::int64_t daysBetween =
        365 * yearsBetween + LeapsUpTo(later.Year - std::int64_t(1)) - LeapsUpTo(earlier.Year);
    const std::int64_t days =
        (GetMonthTable(earlier.Year)[12] - DayOfYear(earlier.Year, earlier.Month, earlier.Day)) +
        daysBetween + DayOfYear(later.Year, later.Month, later.Day);
    return aLater ? days : -days;
}

double LwADateTime::DiffSeconds(const LwADateTime& o) const
{
    std::int64_t days;
    if (Year == o.Year && Month == o.Month)
        days = Day - o.Day;
    else
        days = DiffDaysOverYears(*this, o);
    const double mine = Hour * 3600.0 + Minute * 60.0 + Second + Millisecond * 0.001;
    const double theirs = o.Hour * 3600.0 + o.Minute * 60.0 + o.Second + o.Millisecond * 0.001;
    return static_cast<double>(days) * 24 * 60 * 60 + mine - theirs;
}

bool LwADateTime::BarnValue(LwBarnXml& doc, const std::string& name)
{
    if (doc.IsWriteMode()) {
        std::string text = ToString();
        return doc.ValueString(name, text, text);
    }
    std::string text;
    if (!doc.ValueRawString(name, text, std::string()))
        return false;
    FromString(text);
    return true;
}

bool LwADateTime::IsBefore(const LwADateTime& o) const
{
    return o.IsLaterThan(*this);
}

bool LwADateTime::IsBeforeOrEqual(const LwADateTime& o) const
{
    return !IsLaterThan(o);
}

bool LwADateTime::IsAfterOrEqual(const LwADateTime& o) const
{
    return !IsBefore(o);
}

bool LwADateTime::IsEqual(const LwADateTime& o) const
{
    return std::tie(Year, Month, Day, Hour, Minute, Second, Millisecond) ==
           std::tie(o.Year, o.Month, o.Day, o.Hour, o.Minute, o.Second, o.Millisecond);
}

int LwADateTime::DaysLeftInYear(int year, int month, int day)
{
    return GetMonthTable(year)[12] - DayOfYear(year, month, day);
}

namespace {

// Days of the proleptic Gregorian calendar in 400 years: the calendar
// repeats after them, month for month and day for day.
constexpr std::int64_t kDaysPer400Years = 146097;

// Refuses a move of the date whose year would leave the 32-bit range.
// `days` days move the year by at most |days| / 365 + 1.
void CheckYearAfterDays(LwLong year, std::int64_t days)
{
    const std::int64_t years = (days < 0 ? -days : days) / 365 + 1;
    if (static_cast<std::int64_t>(year) + years > std::numeric_limits<LwLong>::max() ||
        static_cast<std::int64_t>(year) - years < std::numeric_limits<LwLong>::min())
        throw LwError("Date and time: moving the year " + std::to_string(year) + " by " +
                      std::to_string(days) + " days leaves the years a 32-bit integer holds");
}

}  // namespace

void LwADateTime::AddDays(LwLong n)
{
    if (n == 0)
        return;
    CheckYearAfterDays(Year, n);
    // Month is a public field; the walk below needs a valid month index.
    assert(Month >= 0 && Month <= 11);
    std::int64_t day = std::int64_t(Day) + n;
    // Whole 400-year cycles first, so that a large n costs no more than
    // 4800 months of the walk.
    const std::int64_t cycles = (day < 0 ? -day : day) / kDaysPer400Years;
    if (cycles > 0) {
        const std::int64_t sign = day < 0 ? -1 : 1;
        Year = static_cast<LwLong>(Year + sign * 400 * cycles);
        day -= sign * cycles * kDaysPer400Years;
    }
    if (n < 0) {
        while (day < 0) {
            if (--Month < 0) {
                Month = 11;
                --Year;
            }
            day += GetMonthTable(Year)[Month];
        }
        Day = static_cast<LwLong>(day);
        return;
    }
    Day = 0;
    std::int64_t rest = day;
    for (;;) {
        const LwLong length = GetMonthTable(Year)[Month];
        if (Day + rest < length) {
            Day = static_cast<LwLong>(Day + rest);
            return;
        }
        rest -= length - Day;
        Day = 0;
        if (++Month > 11) {
            Month = 0;
            ++Year;
        }
    }
}

void LwADateTime::AddMonths(LwLong n)
{
    std::int64_t month = std::int64_t(Month) + n;
    const std::int64_t carry = FloorDiv(month, 12);
    const std::int64_t year = std::int64_t(Year) + carry;
    if (year > std::numeric_limits<LwLong>::max() || year < std::numeric_limits<LwLong>::min())
        throw LwError("Date and time: moving the year " + std::to_string(Year) + " by " + std::to_string(n) +
                      " months leaves the years a 32-bit integer holds");
    Year = static_cast<LwLong>(year);
    Month = static_cast<LwLong>(month - 12 * carry);
}

namespace {

// t = amount + field; within [0, limit) the field takes t truncated, else
// floor(t / limit) is handed to the next larger unit and the field keeps the
// truncated remainder (held within [0, limit), which rounding of a large t
// could otherwise leave by a fraction).
template <typename Carry>
void AddWithCarry(LwLong& field, LDouble amount, int limit, Carry carry)
{
    const LDouble t = amount + field;
    if (t >= 0 && t < limit) {
        field = static_cast<LwLong>(t);
        return;
    }
    const LDouble c = std::floor(t / limit);
    const LDouble rest = std::clamp(t - c * limit, LDouble(0), LDouble(limit - 1));
    field = static_cast<LwLong>(rest);
    carry(c);
}

struct Unit
{
    LwLong field;
    int limit;
};

// Refuses an amount that is not finite, or whose carry through `units`
// (from the amount's unit up to the hour) moves the date by more days than
// AddDays takes, before any field is changed. The message names the amount
// as `what` ("hours", ...).
void CheckAmount(LDouble amount, const char* what, std::initializer_list<Unit> units)
{
    if (!std::isfinite(amount))
        throw LwError(std::string("Date and time: an amount of ") + what + " must be a finite number");
    LDouble carry = amount;
    for (const Unit& u : units)
        carry = std::floor((carry + u.field) / u.limit);
    if (carry > std::numeric_limits<LwLong>::max() || carry < std::numeric_limits<LwLong>::min()) {
        char text[64];
        std::snprintf(text, sizeof text, "%g", static_cast<double>(amount));
        throw LwError(std::string("Date and time: ") + text + " " + what +
                      " move the date by more than 2147483647 days");
    }
}

}  // namespace

void LwADateTime::AddHours(LDouble hours)
{
    CheckAmount(hours, "hours", {{Hour, 24}});
    AddWithCarry(Hour, hours, 24, [this](LDouble c) { AddDays(static_cast<LwLong>(c)); });
}

void LwADateTime::AddMinutes(LDouble minutes)
{
    CheckAmount(minutes, "minutes", {{Minute, 60}, {Hour, 24}});
    AddWithCarry(Minute, minutes, 60, [this](LDouble c) { AddHours(c); });
}

void LwADateTime::AddSeconds(LDouble seconds)
{
    CheckAmount(seconds, "seconds", {{Second, 60}, {Minute, 60}, {Hour, 24}});
    AddWithCarry(Second, seconds, 60, [this](LDouble c) { AddMinutes(c); });
}

void LwADateTime::AddMilliseconds(LwLong milliseconds)
{
    const std::int64_t ms = std::int64_t(Millisecond) + milliseconds;
    if (ms >= 0 && ms < 1000) {
        Millisecond = static_cast<LwLong>(ms);
        return;
    }
    const std::int64_t c = FloorDiv(ms, 1000);
    Millisecond = static_cast<LwLong>(ms - 1000 * c);
    AddSeconds(static_cast<LDouble>(c));
}

namespace {

void SetChecked(LwLong& field, int value, int last)
{
    if (static_cast<unsigned>(value) > static_cast<unsigned>(last))
        throw LwError("error");
    field = value;
}

std::string Format(const char* format, long a, long b = 0, long c = 0, long d = 0, long e = 0)
{
    char text[128];
    std::snprintf(text, sizeof text, format, a, b, c, d, e);
    return text;
}

}  // namespace

void LwADateTime::SetHour(int value)
{
    SetChecked(Hour, value, 23);
}
void LwADateTime::SetMinute(int value)
{
    SetChecked(Minute, value, 59);
}
void LwADateTime::SetSecond(int value)
{
    SetChecked(Second, value, 59);
}
void LwADateTime::SetMillisecond(int value)
{
    SetChecked(Millisecond, value, 999);
}

void LwADateTime::SetDate(int year, int month, int day)
{
    Year = year;
    SetMonth(month);
    SetDay(day);
}

void LwADateTime::SetDateFromString(const std::string& text)
{
    std::int64_t v[3];
    size_t pos = 0;
    const bool complete = ScanLong(text, pos, 0, v[0]) && ScanLiteral(text, pos, '/') &&
                          ScanLong(text, pos, 0, v[1]) && ScanLiteral(text, pos, '/') &&
                          ScanLong(text, pos, 0, v[2]);
    if (!complete || v[0] < std::numeric_limits<LwLong>::min() || v[0] > std::numeric_limits<LwLong>::max())
        throw LwError("illigal String");
    // Month and day beyond int range are out of range anyway.
    const auto clamp = [](std::int64_t x) {
        return static_cast<int>(std::max<std::int64_t>(-1, std::min<std::int64_t>(x, 1000)));
    };
    SetDate(static_cast<int>(v[0]), clamp(v[1]), clamp(v[2]));
}

std::string LwADateTime::ToTimeString() const
{
    return Format("%02ld:%02ld:%02ld", Hour, Minute, Second);
}

std::string LwADateTime::ToDateString() const
{
    return Format("%ld/%02ld/%02ld", Year, Month + 1, Day + 1);
}

std::string LwADateTime::ToCompactDateString() const
{
    return Format("%04ld%02ld%02ld", Year, Month + 1, Day + 1);
}

std::string LwADateTime::ToShortDateString() const
{
    return Format("%04ld", Year).substr(2) + Format("%02ld%02ld", Month + 1, Day + 1);
}

std::string LwADateTime::ToShortDateTimeString() const
{
    return Format("%04ld", Year).substr(2) +
           Format("%02ld%02ld-%02ld%02ld%02ld", Month + 1, Day + 1, Hour, Minute, Second);
}

int LwADateTime::GetDayOfWeek() const
{
    LwADateTime sunday;
    sunday.Year = 1995;
    const std::int64_t days = DiffDaysOverYears(*this, sunday);
    return static_cast<int>(days - 7 * FloorDiv(days, 7));
}

std::string LwADateTime::GetWeekdayName() const
{
    return kWeekdayNames[GetDayOfWeek()];
}
