#include "jinja/runtime/functions.h"

namespace velloquin::jinja {

Value Args::kwargs_map() const {
  MapEntries entries;
  for (const auto& [k, v] : kwargs) entries.emplace_back(Value(k), v);
  return Value::kwargs_map(std::move(entries));
}

ArgReader::ArgReader(const Args& args, bool accepts_kwargs)
    : given_(&args.positional), count_(args.positional.size()) {
  if (accepts_kwargs) {
    kwargs_ = &args.kwargs;
  } else if (args.has_kwargs) {
    extra_ = args.kwargs_map();
    ++count_;
  }
  if (kwargs_) kwarg_used_.assign(kwargs_->size(), false);
}

velloquin::Result<Value, Error> ArgReader::required() {
  if (next_ >= count_) return err(Error(ErrorKind::MissingArgument));
  return at(next_++);
}

velloquin::Result<const Value*, Error> ArgReader::required_ref() {
  if (next_ >= count_) return err(Error(ErrorKind::MissingArgument));
  return &at(next_++);
}

std::optional<Value> ArgReader::raw() {
  if (next_ >= count_) return std::nullopt;
  return at(next_++);
}

std::optional<Value> ArgReader::optional() {
  auto v = raw();
  if (!v || v->is_none() || v->is_undefined()) return std::nullopt;
  return v;
}

const Value* ArgReader::optional_ref() {
  if (next_ >= count_) return nullptr;
  const Value& v = at(next_++);
  return v.is_none() || v.is_undefined() ? nullptr : &v;
}

std::vector<Value> ArgReader::rest() {
  std::vector<Value> out;
  out.reserve(count_ - std::min(next_, count_));
  for (; next_ < count_; ++next_) out.push_back(at(next_));
  return out;
}

std::optional<Value> ArgReader::keyword(std::string_view name) {
  if (!kwargs_) return std::nullopt;
  for (std::size_t i = 0; i < kwargs_->size(); ++i) {
    if ((*kwargs_)[i].first == name) {
      kwarg_used_[i] = true;
      const Value& v = (*kwargs_)[i].second;
      if (v.is_none() || v.is_undefined()) return std::nullopt;
      return v;
    }
  }
  return std::nullopt;
}

std::optional<Value> ArgReader::positional_or_keyword(std::string_view name) {
  if (next_ < count_) return optional();
  return keyword(name);
}

velloquin::Result<void, Error> ArgReader::finish() {
  if (next_ < count_) return err(Error(ErrorKind::TooManyArguments));
  if (kwargs_) {
    for (std::size_t i = 0; i < kwargs_->size(); ++i)
      if (!kwarg_used_[i])
        return err(Error(ErrorKind::TooManyArguments,
                         "unknown keyword argument '" + (*kwargs_)[i].first + "'"));
  }
  return {};
}

Value Object::get_attr(std::string_view) const {
  return Value();
}
Value Object::get_item(const Value& key) const {
  if (key.is_string()) return get_attr(key.str());
  return Value();
}
velloquin::Result<void, Error> Object::set_attr(std::string_view, Value) {
  return err(
      invalid_operation("can only assign to namespaces, not " + std::string(kind_name(kind()))));
}
void Object::display(std::string& out) const {
  out += "<object>";
}
ValueResult Object::call(State&, const Args&) const {
  return err(invalid_operation("object is not callable"));
}
ValueResult Object::call_method(State& state, std::string_view name, const Args& args) const {
  // A method is whatever the attribute of that name holds, callable or not.
  if (Value attr = get_attr(name); !attr.is_undefined()) return call_value(state, attr, args);
  return err(Error(ErrorKind::UnknownMethod,
                   std::string(kind_name(kind())) + " has no method named " + std::string(name)));
}

ValueResult call_value(State& state, const Value& callee, const Args& args) {
  if (Object* o = callee.object_ptr()) return o->call(state, args);
  // Containers are objects to the reference engine, so they share its text.
  if (callee.is_seq() || callee.is_map() || callee.is_iterator())
    return err(invalid_operation("object is not callable"));
  return err(invalid_operation("value of type " + std::string(kind_name(callee.kind())) +
                               " is not callable"));
}

ValueResult call_method(State& state, const Value& base, std::string_view name, const Args& args) {
  if (Object* o = base.object_ptr()) return o->call_method(state, name, args);
  if (const Map* m = base.map_data()) {
    if (const Value* f = m->find(name)) return call_value(state, *f, args);
  }
  return err(Error(ErrorKind::UnknownMethod, std::string(kind_name(base.kind())) +
                                                 " has no method named " + std::string(name)));
}

velloquin::Result<std::int64_t, Error> arg_to_i64(const Value& v, std::string_view type_name) {
  if (auto i = v.to_int64_lossless()) return *i;
  return err(invalid_operation("cannot convert " + std::string(kind_name(v.kind())) + " to " +
                               std::string(type_name)));
}
velloquin::Result<std::size_t, Error> arg_to_usize(const Value& v) {
  auto i = v.to_int64_lossless();
  if (i && *i >= 0) return static_cast<std::size_t>(*i);
  return err(invalid_operation("cannot convert " + std::string(kind_name(v.kind())) + " to usize"));
}
velloquin::Result<bool, Error> arg_to_bool(const Value& v) {
  if (v.is_bool()) return v.as_bool();
  return err(invalid_operation("cannot convert " + std::string(kind_name(v.kind())) + " to bool"));
}
velloquin::Result<std::string, Error> arg_to_text(const Value& v) {
  return v.to_display_string();
}
velloquin::Result<std::string_view, Error> arg_as_str(const Value& v) {
  if (v.is_string()) return v.str();
  return err(invalid_operation("value is not a string"));
}

}  // namespace velloquin::jinja
