#include "plovik/api/engine_enums.hpp"

#include <Python.h>
#include <gtest/gtest.h>

#include <string>

#include "support/python_fixture.hpp"

namespace plovik::api::mirrors {
namespace {

using plovik::testing::eval_python;
using plovik::testing::run_python;

std::string exception_text(const EngineException& error) {
  ObjectRef text = ObjectRef::steal(PyObject_Str(error.instance().get()));
  return PyUnicode_AsUTF8(text.get());
}

TEST(EngineEnumReaders, RecogniseEngineValuesByIdentity) {
  run_python("import _plovik.core as core");
  struct Case {
    const char* expression;
    int (*read)(PyObject*);
    int expected;  // -1: not a variant
    const char* message;
  };
  auto tier = [](PyObject* o) { auto r = read_document_tier(o); return r ? static_cast<int>(*r) : -1; };
  auto op = [](PyObject* o) { auto r = read_operator(o); return r ? static_cast<int>(*r) : -1; };
  auto severity = [](PyObject* o) { auto r = read_diagnostic_severity(o); return r ? static_cast<int>(*r) : -1; };
  auto direction = [](PyObject* o) { auto r = read_feature_direction_kind(o); return r ? static_cast<int>(*r) : -1; };
  auto constraint = [](PyObject* o) {
    auto r = read_requirement_constraint_kind(o);
    return r ? static_cast<int>(*r) : -1;
  };
  const Case cases[] = {
      {"core.DocumentTier.Project", +tier, 2, nullptr},
      {"None", +tier, -1, "Object is not a `DocumentTier` variant"},
      {"'Project'", +tier, -1, "Object is not a `DocumentTier` variant"},
      {"core.Operator.Select", +op, 38, nullptr},
      {"core.Operator.If", +op, 0, nullptr},
      {"core.DiagnosticSeverity.Hint", +severity, 3, nullptr},
      {"core.FeatureDirectionKind.Inout", +direction, 1, nullptr},
      {"core.RequirementConstraintKind.Requirement", +constraint, 1, nullptr},
      {"core.DocumentTier.Project", +constraint, -1, "Object is not a `RequirementConstraintKind` variant"},
  };
  for (const auto& c : cases) {
    ObjectRef object = eval_python(c.expression);
    EXPECT_EQ(c.read(object.get()), c.expected) << c.expression;
    EXPECT_EQ(PyErr_Occurred(), nullptr);
  }
  auto failed = read_document_tier(eval_python("'Project'").get());
  ASSERT_FALSE(failed);
  EXPECT_TRUE(PyErr_GivenExceptionMatches(failed.error().instance().get(), PyExc_ValueError));
  EXPECT_EQ(exception_text(failed.error()), "Object is not a `DocumentTier` variant");
}

TEST(EngineEnumWriters, GiveTheEngineValues) {
  auto environment = document_kind_to_py(DocumentKind::Environment);
  ASSERT_TRUE(environment);
  EXPECT_EQ(environment->get(), eval_python("__import__('_plovik._loading')._loading.DocumentKind.ENVIRONMENT").get());
  auto regular = name_id_to_py(NameID::Regular);
  ASSERT_TRUE(regular);
  EXPECT_EQ(regular->get(), eval_python("__import__('_plovik.core').core.NameID.Regular").get());
}

}  // namespace
}  // namespace plovik::api::mirrors
