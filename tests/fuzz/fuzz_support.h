#pragma once

// Shared by the fuzz targets: how a disagreement is reported, and the error
// sort of an operation.

#include "logic/run_time_error.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>

namespace tarnwick::fuzz {

// 128-bit integers hold every sum, difference and product the references need.
__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

// Reports a disagreement with the reference and stops, so that libFuzzer keeps the input.
[[noreturn]] inline void mismatch(const char* what)
{
    std::fprintf(stderr, "MISMATCH: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

inline const char* sortName(std::optional<RunTimeError::Sort> sort)
{
    if (!sort)
        return "no error";
    switch (*sort) {
    case RunTimeError::Sort::Overflow:
        return "Overflow";
    case RunTimeError::Sort::FloatingPoint:
        return "FloatingPoint";
    case RunTimeError::Sort::PlatformFailure:
        return "PlatformFailure";
    }
    return "an unknown sort";
}

// Runs `operation`; gives the sort of the RunTimeError it throws, none when it
// returns. Any other exception is a defect of its own.
template <class Operation> std::optional<RunTimeError::Sort> errorSortOf(Operation&& operation)
{
    try {
        operation();
    } catch (const RunTimeError& error) {
        return error.sort();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "unexpected exception: %s\n", error.what());
        mismatch("an exception that is not a RunTimeError");
    } catch (...) {
        mismatch("an exception that is not a RunTimeError");
    }
    return std::nullopt;
}

} // namespace tarnwick::fuzz
