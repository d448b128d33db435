// Early return on failure for Result-returning code.
#pragma once

#define VQ_CONCAT_INNER(a, b) a##b
#define VQ_CONCAT(a, b) VQ_CONCAT_INNER(a, b)

// `VQ_TRY(auto x, expr);` declares x from a successful Result, or returns its error.
#define VQ_TRY(decl, expr)                                                       \
  auto VQ_CONCAT(vq_result_, __LINE__) = (expr);                                 \
  if (!VQ_CONCAT(vq_result_, __LINE__).ok())                                     \
    return ::velloquin::err(std::move(VQ_CONCAT(vq_result_, __LINE__)).error()); \
  decl = std::move(VQ_CONCAT(vq_result_, __LINE__)).value()

// `VQ_CHECK(expr);` returns the error of a failed Result<void, E>.
#define VQ_CHECK(expr)                                                            \
  do {                                                                            \
    auto vq_checked = (expr);                                                     \
    if (!vq_checked.ok()) return ::velloquin::err(std::move(vq_checked).error()); \
  } while (false)
