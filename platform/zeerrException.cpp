#include "platform/zeerrException.h"

#include "platform/tStatusReport.h"

namespace zeerr {

using nKESTREL1400::makeStatusReport;

ExceptionBase::ExceptionBase() noexcept : record_(makeStatusReport()) {}

ExceptionBase::ExceptionBase(const ExceptionBase& other) noexcept : record_(makeStatusReport()) {
  // The copy gets its own record with the source's code and a copy of its
  // text; the source keeps its report, since a thrown object may be copied
  // more than once (catch by value, rethrow).
  nKESTREL1400::setCode(record_, other.record_.code);
  if (other.record_.report != nullptr) nKESTREL1400::setReportText(record_, other.record_.report);
}

ExceptionBase::~ExceptionBase() { nKESTREL1400::releaseReport(record_); }

const char* ExceptionBase::reportText() const noexcept { return nKESTREL1400::reportText(record_); }

Exception::Exception(const Exception& other) noexcept : ExceptionBase(other), std::exception(other) {}

Exception::~Exception() = default;

const char* Exception::what() const noexcept { return reportText(); }

}  // namespace zeerr
