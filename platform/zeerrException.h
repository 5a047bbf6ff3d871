// The exception that carries a status report through the routing code.
#pragma once

#include <exception>

#include "kestrel/quill_ra_kestrel.h"

namespace zeerr {

class ExceptionBase {
 public:
  ExceptionBase() noexcept;
  virtual ~ExceptionBase();
  // The report text, or "" when there is none.
  virtual const char* reportText() const noexcept;

  tStatusReport& statusReport() noexcept { return record_; }
  const tStatusReport& statusReport() const noexcept { return record_; }

 protected:
  ExceptionBase(const ExceptionBase& other) noexcept;
  ExceptionBase& operator=(const ExceptionBase&) = delete;

 private:
  tStatusReport record_;
};

class Exception : public virtual ExceptionBase, public virtual std::exception {
 public:
  Exception() noexcept = default;
  // A copy gets a fresh record into which the source's record is merged.
  Exception(const Exception& other) noexcept;
  ~Exception() override;
  const char* what() const noexcept override;
};

}  // namespace zeerr
