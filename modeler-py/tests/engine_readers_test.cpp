#include "plovik/api/engine_readers.hpp"

#include <Python.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/python_fixture.hpp"

namespace plovik::api {
namespace {

using plovik::testing::eval_python;
using plovik::testing::run_python;
using plovik::testing::shown;

template <typename T>
std::string outcome(const EngineResult<T>& result, const std::function<std::string(const T&)>& show) {
  return result ? show(*result) : shown(result.error());
}

// A receiver whose attribute `a` (or `collect()`) gives the value of `expression`.
ObjectRef receiver(const std::string& expression) {
  run_python(
      "import types, uuid, _plovik.core as core\n"
      "class Holder:\n"
      "    def __init__(self, value): self.a = value\n"
      "    def collect(self): return self.a\n");
  return eval_python("Holder(" + expression + ")");
}

TEST(EngineReaders, ShapesOfAttributeValues) {
  struct Case {
    const char* value;
    std::function<std::string(PyObject*)> read;
    const char* expected;
  };
  auto absent_or = [](const auto& v) -> std::string { return v ? "present" : "absent"; };
  auto heritage = [](PyObject* r) {
    run_python("Holder.heritage = property(lambda self: self.a)");
    return outcome<Heritage>(get_heritage(r), [](const Heritage&) { return std::string("handle"); });
  };
  auto owner = [absent_or](PyObject* r) {
    run_python("Holder.owner = property(lambda self: self.a)");
    return outcome<std::optional<Element>>(get_owner(r), absent_or);
  };
  auto name = [](PyObject* r) {
    run_python("Holder.name = property(lambda self: self.a)");
    return outcome<std::optional<std::string>>(get_name(r), [](const auto& v) { return v ? *v : "absent"; });
  };
  auto is_abstract = [](PyObject* r) {
    run_python("Holder.is_abstract = property(lambda self: self.a)");
    return outcome<bool>(get_is_abstract(r), [](bool v) { return std::string(v ? "true" : "false"); });
  };
  auto element_id = [](PyObject* r) {
    run_python("Holder.element_id = property(lambda self: self.a)");
    return outcome<Uuid>(get_element_id(r), [](const Uuid& v) {
      return std::to_string(v.high) + "/" + std::to_string(v.low);
    });
  };
  auto value = [](PyObject* r) {
    run_python("Holder.value = property(lambda self: self.a)");
    return outcome<std::int64_t>(get_value(r), [](std::int64_t v) { return std::to_string(v); });
  };
  auto missing = [](PyObject* r) {
    return outcome<std::optional<QualifiedName>>(get_qualified_name(r), [](const auto&) { return std::string("?"); });
  };
  auto features = [](PyObject* r) {
    return outcome<std::vector<Feature>>(collect_features(r), [](const auto& v) { return std::to_string(v.size()); });
  };
  auto objects = [](PyObject* r) {
    ObjectRef view = ObjectRef::steal(PyObject_GetAttrString(r, "a"));
    return outcome<std::vector<ObjectRef>>(list_objects(view.get()), [](const auto& v) { return std::to_string(v.size()); });
  };
  const Case cases[] = {
      {"None", heritage, "TypeError: 'None' is not an instance of 'Heritage'"},
      {"core.Heritage.__new__(core.Heritage)", heritage, "handle"},
      {"None", owner, "absent"},
      {"3", owner, "TypeError: 'int' object is not an instance of 'Element'"},
      {"None", name, "absent"},
      {"'n\\u00fc'", name, "n\xc3\xbc"},
      {"3", name, "TypeError: 'int' object is not an instance of 'str'"},
      {"1", is_abstract, "TypeError: 'int' object is not an instance of 'bool'"},
      {"True", is_abstract, "true"},
      {"'x'", element_id, "TypeError: Expected a `uuid.UUID` instance."},
      {"None", element_id, "TypeError: Expected a `uuid.UUID` instance."},
      {"uuid.UUID(int=(5 << 64) | 7)", element_id, "5/7"},
      {"-4", value, "-4"},
      {"2 ** 70", value, "OverflowError: int too big to convert"},
      {"2.5", value, "TypeError: 'float' object cannot be interpreted as an integer"},
      {"None", missing, "AttributeError: 'Holder' object has no attribute 'qualified_name'"},
      {"[]", features, "0"},
      {"'abc'", features, "TypeError: Can't extract `str` into a vector"},
      {"5", features, "TypeError: 'int' object is not an instance of 'Sequence'"},
      {"[core.Feature.__new__(core.Feature), core.PartUsage.__new__(core.PartUsage), 5]", features,
       "TypeError: 'int' object is not an instance of 'Feature'"},
      {"(core.Feature.__new__(core.Feature),)", features, "1"},
      {"[None, 1]", objects, "2"},
  };
  for (const auto& c : cases) {
    ObjectRef holder = receiver(c.value);
    EXPECT_EQ(c.read(holder.get()), c.expected) << c.value;
    EXPECT_EQ(PyErr_Occurred(), nullptr) << c.value;
  }
}

TEST(EngineReaders, RequirementKindStrAndIsEnd) {
  ObjectRef holder = receiver("core.RequirementConstraintKind.Assumption");
  run_python("Holder.kind = property(lambda self: self.a)");
  auto read = get_kind(holder.get());
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, mirrors::RequirementConstraintKind::Assumption);

  run_python("class Named:\n    def __str__(self): return 'P::v'\n");
  auto text = py_str(eval_python("Named()").get());
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "P::v");

  ObjectRef feature = eval_python("types.SimpleNamespace(is_end=False)");
  ASSERT_TRUE(set_is_end(feature.get()));
  EXPECT_EQ(eval_python("True").get(), ObjectRef::steal(PyObject_GetAttrString(feature.get(), "is_end")).get());
}

}  // namespace
}  // namespace plovik::api
