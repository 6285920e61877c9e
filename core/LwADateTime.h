#pragma once
// A calendar date and time of day with milliseconds in the proleptic
// Gregorian calendar, as the suite stamps its runs: read from the system
// clock in the fixed zone "TZ=JST-9" (UTC+9, whatever zone the host is set
// to), written and read as "%ld/%02ld/%02ld %02ld:%02ld:%02ld" (year, month,
// day, hour, minute, second; the milliseconds are not written), compared and
// subtracted in seconds.
//
// Month and day are stored 0-based (Month 0 = January, Day 0 = the first);
// the setters and the text form take them 1-based.

#include "core/LwTypes.h"

#include <array>
#include <cstdint>
#include <string>

class LwBarnXml;

class LwADateTime
{
public:
    // Twelve month lengths, then the length of the year.
    using MonthTable = std::array<LwLong, 13>;

    LwADateTime();
    virtual ~LwADateTime() = default;
    LwADateTime(const LwADateTime&) = default;
    LwADateTime& operator=(const LwADateTime&) = default;

    // Reads the clock as local time of TimeZone. The zone is put into the
    // process environment (and stays there), so call it only from the main
    // thread, never while other threads read the environment or the clock.
    // Millisecond becomes 0.
    void SetNow();

    // "2026/03/07 09:05:00"; a new date-time gives "0/01/01 00:00:00".
    std::string ToString() const;
    // Reads "year/month/day hour:minute:second" as scanf's
    // "%ld/%2ld/%2ld %2ld:%2ld:%2ld" does: blanks before each number, a sign,
    // at most two characters for each field after the year, any blanks (or
    // none) between day and hour, anything after the second ignored. Fewer
    // than six numbers, or a year outside 32 bits: "illigal String", nothing
    // changed. Then the year is set, and SetMonth, SetDay and SetTime check
    // the rest in that order; a failing one leaves the fields set before it
    // changed. Millisecond keeps its value.
    void FromString(const std::string& text);

    // 1 to 12, else "illigal month value".
    void SetMonth(int month);
    // 1 to the length of the current month of the current year, else
    // "illigal date value".
    void SetDay(int day);
    // All three checked before any is set: hour 0-23 ("Illigal Hour"),
    // minute 0-59 ("Illigal min"), second 0-59 ("Illigal sec"), in that order.
    void SetTime(int hour, int minute, int second);

    // Strictly later, comparing year, month, day, hour, minute, second and
    // millisecond in that order.
    bool IsLaterThan(const LwADateTime& other) const;
    // The same order: strictly earlier, earlier or equal, later or equal,
    // and all seven fields equal.
    bool IsBefore(const LwADateTime& other) const;
    bool IsBeforeOrEqual(const LwADateTime& other) const;
    bool IsAfterOrEqual(const LwADateTime& other) const;
    bool IsEqual(const LwADateTime& other) const;

    // Calendar arithmetic with carry. AddDays walks the months of the
    // proleptic Gregorian calendar (whole 400-year cycles at once); AddMonths
    // carries into the year and leaves the day as it is, even past the end
    // of the new month. A move that could take the year out of the 32-bit
    // range (checked with a year to spare) throws LwError, nothing changed.
    void AddDays(LwLong n);
    void AddMonths(LwLong n);
    // The sum with the field is split by floor division into a carry for the
    // next larger unit and the field's new value; a fraction below one unit
    // is dropped (10:00 plus 1.5 hours gives 11:00). An amount that is not
    // finite, or that carries more days than a 32-bit day count holds
    // (about 5.9 million years), throws LwError before any field changes.
    void AddHours(LDouble hours);
    void AddMinutes(LDouble minutes);
    void AddSeconds(LDouble seconds);
    void AddMilliseconds(LwLong milliseconds);

    // Range-checked setters: hour 0-23, minute and second 0-59, millisecond
    // 0-999, else "error" with the field unchanged.
    void SetHour(int value);
    void SetMinute(int value);
    void SetSecond(int value);
    void SetMillisecond(int value);
    // Sets the year as given, then SetMonth and SetDay (1-based); their
    // errors pass through with the year already set.
    void SetDate(int year, int month, int day);
    // Reads "year/month/day" (three numbers as "%ld/%ld/%ld"); fewer than
    // three numbers, or a year outside 32 bits: "illigal String", nothing
    // changed. Otherwise as SetDate.
    void SetDateFromString(const std::string& text);

    std::string ToTimeString() const;  // "07:08:09"
    std::string ToDateString() const;  // "2024/03/05"
    std::string ToCompactDateString() const;  // "20240305"
    std::string ToShortDateString() const;  // "240305"
    std::string ToShortDateTimeString() const;  // "240305-070809"

    // 0 = Sunday .. 6 = Saturday, counted from Sunday 1995-01-01.
    int GetDayOfWeek() const;
    // "Sun" .. "Sat".
    std::string GetWeekdayName() const;

    // The month table of a year: leap when divisible by 400, or by 4 and not
    // by 100.
    static const MonthTable& GetMonthTable(int year);
    // 1-based day of the year of a valid date (month and day 0-based).
    static int DayOfYear(int year, int month, int day);
    // Days of that year after the given day (month and day 0-based).
    static int DaysLeftInYear(int year, int month, int day);
    // Days from b to a (a minus b) for two dates of one year.
    static int DiffDaysInYear(const LwADateTime& a, const LwADateTime& b);
    // Calendar days from b to a (a minus b) for dates of any years.
    static std::int64_t DiffDaysOverYears(const LwADateTime& a, const LwADateTime& b);
    // This minus other in seconds, milliseconds included. Both must hold
    // valid dates.
    double DiffSeconds(const LwADateTime& other) const;

    // The date-time as one Barn text element of that name. Write mode: the
    // ToString text (escaped), result true. Read mode: an absent element
    // leaves the date-time unchanged and gives false; a present one is parsed
    // by FromString (whose errors pass through), result true.
    bool BarnValue(LwBarnXml& doc, const std::string& name);

    // The environment assignment that SetNow puts in force.
    std::string TimeZone;
    LwLong Year;
    LwLong Month;  // 0 = January .. 11 = December
    LwLong Day;  // 0 = the first of the month
    LwLong Hour;  // 0 .. 23
    LwLong Minute;  // 0 .. 59
    LwLong Second;  // 0 .. 59
    LwLong Millisecond;  // 0 .. 999

    static const MonthTable kCommonYear;
    static const MonthTable kLeapYear;
    static const std::array<const char*, 7> kWeekdayNames;  // index 0 = Sunday
};
