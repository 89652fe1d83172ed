#pragma once

#include "logic/money_format.h"
#include "logic/run_time_error.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace tarnwick {

// Failure messages name an error by its sort.
inline void PrintTo(RunTimeError::Sort sort, std::ostream* out)
{
    switch (sort) {
    case RunTimeError::Sort::Overflow:
        *out << "Overflow";
        return;
    case RunTimeError::Sort::FloatingPoint:
        *out << "FloatingPoint";
        return;
    case RunTimeError::Sort::PlatformFailure:
        *out << "PlatformFailure";
        return;
    }
}

} // namespace tarnwick

namespace tarnwick::test {

// The sort of run-time error that `operation` throws, or none when it returns.
template <class Operation> std::optional<RunTimeError::Sort> errorSortOf(Operation&& operation)
{
    try {
        operation();
    } catch (const RunTimeError& error) {
        return error.sort();
    }
    return std::nullopt;
}

// Money written the way glibc's en_US locale writes it, built by hand so
// that the tests need no installed locale.
inline MoneyFormat usMoneyFormat()
{
    MoneyFormat format;
    format.currencySymbol = "$";
    format.thousandsSeparator = ",";
    format.grouping = {3, 3};
    return format;
}

// Names each parameterised case after the `name` field of its row.
struct CaseName {
    template <class Row> std::string operator()(const ::testing::TestParamInfo<Row>& info) const
    {
        return info.param.name;
    }
};

} // namespace tarnwick::test
