#include "plovik/api/engine_calls.hpp"

#include <Python.h>
#include <gtest/gtest.h>

#include <string>

#include "support/python_fixture.hpp"

namespace plovik::api {
namespace {

using plovik::testing::eval_python;
using plovik::testing::run_python;
using plovik::testing::shown;

// A compiler whose evaluations give the value of `result` (a Python expression
// over `report`).
ObjectRef fake_compiler(const std::string& result) {
  run_python(
      "import _plovik.core as core\n"
      "report = core.CompilationReport.__new__(core.CompilationReport)\n"
      "class FakeCompiler:\n"
      "    def __init__(self, make): self.make = make\n"
      "    def evaluate(self, expression, **keywords): return self.make()\n"
      "    def evaluate_filter(self, target, filter, stdlib): return self.make()\n");
  return eval_python("FakeCompiler(lambda: " + result + ")");
}

std::string evaluated(const std::string& result, ValueShape shape) {
  auto evaluation = evaluate_expression(fake_compiler(result).get(), Py_None, shape);
  if (!evaluation) return shown(evaluation.error());
  if (!evaluation->value) return "absent";
  return std::visit(
      [](const auto& v) -> std::string {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, ObjectRef>) return "object";
        else if constexpr (std::is_same_v<V, std::string>) return "text " + v;
        else if constexpr (std::is_same_v<V, double>) return "real " + std::to_string(v);
        else return "integer " + std::to_string(v);
      },
      *evaluation->value);
}

TEST(EngineCalls, EvaluationResultsArePairsOfTheRequestedShape) {
  struct Case {
    const char* result;
    ValueShape shape;
    const char* expected;
  };
  const Case cases[] = {
      {"(None, report)", ValueShape::Object, "absent"},
      {"(3, report)", ValueShape::Real, "real 3.000000"},
      {"(2.5, report)", ValueShape::Integer, "TypeError: 'float' object cannot be interpreted as an integer"},
      {"('t', report)", ValueShape::Text, "text t"},
      {"(1, report, 2)", ValueShape::Object, "ValueError: expected tuple of length 2, but got tuple of length 3"},
      {"[1, report]", ValueShape::Object, "TypeError: 'list' object is not an instance of 'tuple'"},
      {"(1, 2)", ValueShape::Object, "TypeError: 'int' object is not an instance of 'CompilationReport'"},
      {"1 / 0", ValueShape::Object, "ZeroDivisionError: division by zero"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(evaluated(c.result, c.shape), c.expected) << c.result;
    EXPECT_EQ(PyErr_Occurred(), nullptr);
  }
  auto direct = compiler_evaluate(fake_compiler("(5, report)").get(), Py_None, Py_None);
  ASSERT_TRUE(direct);
  ASSERT_TRUE(direct->value);
  EXPECT_EQ(PyLong_AsLong(direct->value->get()), 5);
}

TEST(EngineCalls, FilterNeedsABool) {
  auto passed = evaluate_filter_expression(fake_compiler("(True, report)").get(), Py_None, Py_None, Py_None);
  ASSERT_TRUE(passed);
  EXPECT_TRUE(passed->passed);
  auto none = evaluate_filter_expression(fake_compiler("(None, report)").get(), Py_None, Py_None, Py_None);
  ASSERT_FALSE(none);
  EXPECT_EQ(shown(none.error()), "TypeError: 'None' is not an instance of 'bool'");
}

TEST(EngineCalls, MemberLookup) {
  run_python(
      "import _plovik.core as core\n"
      "class Scope:\n"
      "    def get_member(self, name):\n"
      "        return {'e': core.Element.__new__(core.Element), 'n': 3}.get(name)\n");
  ObjectRef scope = eval_python("Scope()");
  auto missing = get_member_element(scope.get(), "x");
  ASSERT_TRUE(missing) << shown(missing.error());
  EXPECT_FALSE(*missing);
  auto found = get_member_element(scope.get(), "e");
  ASSERT_TRUE(found) << shown(found.error());
  EXPECT_TRUE(*found);
  auto wrong = get_member_element(scope.get(), "n");
  ASSERT_FALSE(wrong);
  EXPECT_EQ(shown(wrong.error()), "TypeError: 'int' object is not an instance of 'Element'");
}

TEST(EngineCalls, NewCompilerIsAnEngineCompiler) {
  auto compiler = new_compiler();
  ASSERT_TRUE(compiler) << shown(compiler.error());
  EXPECT_TRUE(is_compiler(compiler->get()));
}

TEST(EngineCalls, AppendResultsAreCheckedPairs) {
  run_python(
      "import _plovik.core as core\n"
      "class Body:\n"
      "    def __init__(self, second): self.second = second\n"
      "    def append(self, r, e): return (core.OwningMembership.__new__(core.OwningMembership), self.second)\n"
      "    def remove_element(self, e): return 1\n");
  auto good = append_connection_usage(eval_python("Body(core.AllocationUsage.__new__(core.AllocationUsage))").get());
  ASSERT_TRUE(good) << shown(good.error());
  auto bad = append_connection_usage(eval_python("Body(core.PartUsage.__new__(core.PartUsage))").get());
  ASSERT_FALSE(bad);
  EXPECT_EQ(shown(bad.error()), "TypeError: 'PartUsage' object is not an instance of 'ConnectionUsage'");
  auto removed = remove_element(eval_python("Body(None)").get(), eval_python("None"));
  ASSERT_FALSE(removed);
  EXPECT_EQ(shown(removed.error()), "TypeError: 'int' object is not an instance of 'bool'");
}

TEST(EngineCalls, PathlibPathDecodesNonUtf8WithTheFileSystemEncoding) {
  auto plain = new_pathlib_path("/tmp/a\xc3\xbc");
  ASSERT_TRUE(plain) << shown(plain.error());
  EXPECT_TRUE(PyObject_IsInstance(plain->get(), eval_python("__import__('pathlib').Path").get()));
  EXPECT_STREQ(PyUnicode_AsUTF8(ObjectRef::steal(PyObject_Str(plain->get())).get()), "/tmp/a\xc3\xbc");
  auto odd = new_pathlib_path(std::string("/tmp/b\xff"));
  ASSERT_TRUE(odd) << shown(odd.error());
  ObjectRef text = ObjectRef::steal(PyObject_Str(odd->get()));
  EXPECT_EQ(PyUnicode_ReadChar(text.get(), 6), 0xDCFFu);
}

}  // namespace
}  // namespace plovik::api
