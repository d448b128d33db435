#include "jinja/error.h"

namespace velloquin::jinja {

std::string_view describe(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::NonPrimitive:
      return "not a primitive";
    case ErrorKind::NonKey:
      return "not a key type";
    case ErrorKind::InvalidOperation:
      return "invalid operation";
    case ErrorKind::SyntaxError:
      return "syntax error";
    case ErrorKind::TemplateNotFound:
      return "template not found";
    case ErrorKind::TooManyArguments:
      return "too many arguments";
    case ErrorKind::MissingArgument:
      return "missing argument";
    case ErrorKind::UnknownFilter:
      return "unknown filter";
    case ErrorKind::UnknownTest:
      return "unknown test";
    case ErrorKind::UnknownFunction:
      return "unknown function";
    case ErrorKind::UnknownMethod:
      return "unknown method";
    case ErrorKind::BadEscape:
      return "bad string escape";
    case ErrorKind::UndefinedError:
      return "undefined value";
    case ErrorKind::BadSerialization:
      return "could not serialize to value";
    case ErrorKind::CannotDeserialize:
      return "cannot deserialize";
    case ErrorKind::BadInclude:
      return "could not render include";
    case ErrorKind::EvalBlock:
      return "could not render block";
    case ErrorKind::CannotUnpack:
      return "cannot unpack";
    case ErrorKind::WriteFailure:
      return "failed to write output";
    case ErrorKind::UnknownBlock:
      return "unknown block";
    case ErrorKind::InvalidDelimiter:
      return "invalid custom delimiters";
    case ErrorKind::OutOfFuel:
      return "engine ran out of fuel";
  }
  return "unknown error";
}

std::string Error::display() const {
  std::string out(describe(kind_));
  if (detail()) {
    out += ": ";
    out += *detail();
  }
  if (template_name()) {
    out += " (in ";
    out += *template_name();
    out += ':';
    out += std::to_string(line_);
    out += ')';
  }
  return out;
}

}  // namespace velloquin::jinja
