#pragma once
// One call of every export with harmless arguments, for tests that sweep the
// whole interface (unknown handles, operations not built yet).
#include <vantix/exports.h>

#include <functional>
#include <string_view>
#include <vector>

struct ExportCall {
    std::string_view name;
    // Calls the export with `handle`, passing `ok` wherever it takes an out
    // int; the result is widened to double.
    std::function<double(int32_t handle, int32_t* ok)> call;
};

const std::vector<ExportCall>& AllExportCalls();
