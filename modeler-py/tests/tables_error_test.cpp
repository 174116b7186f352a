#include "plovik/tables/tables_error.hpp"

#include <Python.h>
#include <gtest/gtest.h>

#include "support/python_fixture.hpp"

namespace plovik::tables {
namespace {

using plovik::testing::eval_python;

TEST(TablesError, DisplayTexts) {
  struct Case {
    TablesError error;
    const char* text;
  };
  const Case cases[] = {
      {TablesError::Internal{"PlovikViews standard library not found"},
       "internal error: PlovikViews standard library not found"},
      {TablesError::Message{"column `x`: bad"}, "column `x`: bad"},
      {TablesError::ModelHasErrors{"a.sysml:1: e"},
       "The model contains errors and cannot be rendered. Please fix the following issues and reload:\na.sysml:1: e"},
      {TablesError::CellViewTypeCount{"M", 2}, "EditableMatrixView \"M\" must expose exactly one Type from its cellView; got 2."},
      {TablesError::RootDefinitionCount{"H", 0}, "HierarchicalTableView \"H\" must expose exactly one Definition; got 0."},
      {TablesError::ViewNotFound{"P::v"},
       "The view could not be found in the model. It may have been deleted or renamed; close this panel and reopen "
       "the view from the Plovik Views explorer."},
      {TablesError::LoadAborted{}, "the view load was aborted (superseded by a newer load or a mutation)"},
      {TablesError::Python{eval_python("KeyError('k')")}, "KeyError: 'k'"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.error.message(), c.text);
  EXPECT_EQ(multiple_values_message("mass").message, "Attribute mass has multiple values but multiplicity allows only 1");
  EXPECT_EQ(multiple_documentation_message("doc").message, "Multiple documentation elements match name doc");
}

TEST(TablesError, PythonVariantIsRaisedAsItselfOthersAsRuntimeError) {
  api::ObjectRef original = eval_python("TypeError('inside nodes')");
  raise_tables_error(TablesError::Python{original});
  api::ObjectRef raised = api::ObjectRef::steal(PyErr_GetRaisedException());
  EXPECT_EQ(raised.get(), original.get());

  raise_tables_error(TablesError::Internal{"PlovikViews standard library not found"});
  raised = api::ObjectRef::steal(PyErr_GetRaisedException());
  EXPECT_TRUE(PyErr_GivenExceptionMatches(raised.get(), PyExc_RuntimeError));
  api::ObjectRef text = api::ObjectRef::steal(PyObject_Str(raised.get()));
  EXPECT_STREQ(PyUnicode_AsUTF8(text.get()), "internal error: PlovikViews standard library not found");
}

TEST(TablesError, EngineImports) {
  auto core = import_engine_module("core");
  ASSERT_TRUE(core);
  EXPECT_STREQ(PyModule_GetName(core->get()), "_plovik.core");
  auto missing = import_engine_module("no_such_part");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().message(), "ModuleNotFoundError: No module named '_plovik.no_such_part'");
  EXPECT_TRUE(import_engine());
}

}  // namespace
}  // namespace plovik::tables
