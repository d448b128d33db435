#include "jinja/value_ops.h"

namespace velloquin::jinja {

Error invalid_operation(std::string detail) {
  return Error(ErrorKind::InvalidOperation, std::move(detail));
}

Error undefined_error() {
  return Error(ErrorKind::UndefinedError);
}

std::string_view op_symbol(BinaryOp op) {
  switch (op) {
    case BinaryOp::Add:
      return "+";
    case BinaryOp::Sub:
      return "-";
    case BinaryOp::Mul:
      return "*";
    case BinaryOp::Div:
      return "/";
    case BinaryOp::FloorDiv:
      return "//";
    case BinaryOp::Rem:
      return "%";
    case BinaryOp::Pow:
      return "**";
  }
  return "?";
}

ValueResult binary_op(BinaryOp, const Value&, const Value&) {
  return err(invalid_operation("todo"));
}
ValueResult add(const Value& a, const Value& b) {
  return binary_op(BinaryOp::Add, a, b);
}
ValueResult sub(const Value& a, const Value& b) {
  return binary_op(BinaryOp::Sub, a, b);
}
ValueResult mul(const Value& a, const Value& b) {
  return binary_op(BinaryOp::Mul, a, b);
}
ValueResult div(const Value& a, const Value& b) {
  return binary_op(BinaryOp::Div, a, b);
}
ValueResult floor_div(const Value& a, const Value& b) {
  return binary_op(BinaryOp::FloorDiv, a, b);
}
ValueResult rem(const Value& a, const Value& b) {
  return binary_op(BinaryOp::Rem, a, b);
}
ValueResult pow(const Value& a, const Value& b) {
  return binary_op(BinaryOp::Pow, a, b);
}
ValueResult neg(const Value&) {
  return err(Error(ErrorKind::InvalidOperation));
}
Value concat(const Value& a, const Value& b) {
  std::string out;
  a.display(out);
  b.display(out);
  return Value(std::move(out));
}
bool compare(CompareOp, const Value&, const Value&) {
  return false;
}
velloquin::Result<bool, Error> contains(const Value&, const Value&) {
  return false;
}
ValueResult get_attr(const Value&, std::string_view) {
  return Value();
}
ValueResult get_item(const Value&, const Value&) {
  return Value();
}
ValueResult slice(const Value&, const Value&, const Value&, const Value&) {
  return Value();
}
velloquin::Result<std::size_t, Error> length(const Value&) {
  return std::size_t{0};
}
std::optional<std::size_t> known_length(const Value&) {
  return std::nullopt;
}
std::optional<Value> ValueIterator::next() {
  return std::nullopt;
}
std::optional<std::size_t> ValueIterator::remaining() const {
  return std::nullopt;
}
velloquin::Result<ValueIterator, Error> iterate(const Value&) {
  return ValueIterator();
}
velloquin::Result<std::vector<Value>, Error> collect(const Value&) {
  return std::vector<Value>();
}
void html_escape(std::string& out, std::string_view text) {
  out += text;
}

}  // namespace velloquin::jinja
