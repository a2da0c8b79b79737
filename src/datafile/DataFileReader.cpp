#include "datafile/DataFileReader.h"

namespace tavrik {

struct DataFileReader::Impl
{
};

DataFileReader::DataFileReader(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl))
{
}
DataFileReader::DataFileReader(DataFileReader&&) noexcept = default;
DataFileReader& DataFileReader::operator=(DataFileReader&&) noexcept = default;
DataFileReader::~DataFileReader() = default;

Result<DataFileReader> DataFileReader::open(const std::filesystem::path& path)
{
    return Error{ErrorKind::DataFile, "not yet available", path.string(), 0, {}};
}
Result<DataFileHeader> DataFileReader::readHeader()
{
    return Error{};
}
Result<bool> DataFileReader::nextRecord(double&, std::span<double>)
{
    return false;
}
long DataFileReader::recordsRead() const
{
    return 0;
}
Result<DataSet> loadDataSet(const std::filesystem::path& path)
{
    return Error{ErrorKind::DataFile, "not yet available", path.string(), 0, {}};
}

} // namespace tavrik
