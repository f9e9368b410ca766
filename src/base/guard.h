// The C boundary: no exception leaves an export. Each TAVRO_ export runs its
// body through GuardExport, which answers the export's failure value (and
// traces nothing: the layers below may be what failed).
#pragma once

#include <exception>
#include <new>

template <class Result, class Body> Result GuardExport(Result onFailure, Body &&body) noexcept
{
    try {
        return body();
    } catch (...) {
        return onFailure;
    }
}

template <class Body> void GuardExportVoid(Body &&body) noexcept
{
    try {
        body();
    } catch (...) {
    }
}
