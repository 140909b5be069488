#include "dataset.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

void dataset_add(DataSet& ds, const std::string& name, const std::string& bytes)
{
    ds.files[name] = bytes;
}

std::vector<DataBuilderEntry>& data_builders()
{
    static std::vector<DataBuilderEntry> builders;
    return builders;
}

DataBuilderRegistration::DataBuilderRegistration(const char* name, int rank, DataBuilder fn)
{
    data_builders().push_back({name, rank, fn});
}

std::string data_printf(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    std::vsnprintf(out.data(), out.size() + 1, fmt, ap2);
    va_end(ap2);
    return out;
}
