#include "plovik/api/engine_classes.hpp"

#include <Python.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "support/python_fixture.hpp"

namespace plovik::api {
namespace {

using plovik::testing::eval_python;
using plovik::testing::run_python;

// A bare engine object of `cls` (no model behind it: enough for class tests).
ObjectRef bare(const std::string& cls) {
  run_python("import _plovik.core as core");
  return eval_python("core." + cls + ".__new__(core." + cls + ")");
}

struct CheckCase {
  const char* object_class;
  bool (*check)(PyObject*) noexcept;
  const char* check_name;
  bool expected;
};

TEST(EngineTypeCheck, SubclassPassesSuperclassFails) {
  const CheckCase cases[] = {
      {"PartUsage", &is_part_usage, "is_part_usage", true},
      {"PartUsage", &is_usage, "is_usage", true},
      {"PartUsage", &is_feature, "is_feature", true},
      {"PartUsage", &is_element, "is_element", true},
      {"Usage", &is_part_usage, "is_part_usage", false},
      {"Element", &is_type, "is_type", false},
      {"Package", &is_namespace, "is_namespace", true},
      {"AllocationUsage", &is_connector_as_usage, "is_connector_as_usage", true},
  };
  for (const auto& c : cases) {
    ObjectRef object = bare(c.object_class);
    EXPECT_EQ(c.check(object.get()), c.expected) << c.object_class << " " << c.check_name;
    EXPECT_EQ(extract_usage(object).has_value(), is_usage(object)) << c.object_class;
  }
}

TEST(EngineTypeCheck, ClassGetterGivesTheEngineClassOnce) {
  ObjectRef first = view_usage_type();
  ObjectRef second = view_usage_type();
  EXPECT_EQ(first.get(), second.get());
  EXPECT_EQ(first.get(), eval_python("__import__('_plovik.core').core.ViewUsage").get());
  EXPECT_EQ(model_type().get(), eval_python("__import__('_plovik._loading')._loading.Model").get());
}

TEST(EngineCastError, MessagesNameTheObjectTypeAndTheClass) {
  ObjectRef none = ObjectRef::borrow(Py_None);
  EXPECT_FALSE(is_type(none));
  auto from_none = extract_type(none);
  ASSERT_FALSE(from_none);
  EXPECT_EQ(from_none.error().message(), "'None' is not an instance of 'Type'");

  auto from_text = extract_type(eval_python("'text'"));
  ASSERT_FALSE(from_text);
  EXPECT_EQ(from_text.error().message(), "'str' object is not an instance of 'Type'");

  auto list_as_view = downcast_container_view(eval_python("[1]").get());
  ASSERT_FALSE(list_as_view);
  EXPECT_EQ(list_as_view.error().message(), "'list' object is not an instance of 'ContainerView'");

  from_text.error().raise();
  ASSERT_TRUE(PyErr_ExceptionMatches(PyExc_TypeError));
  PyErr_Clear();
}

TEST(EngineCast, TryCastGivesHandleAbsentOrCastError) {
  ObjectRef part = bare("PartUsage");
  auto usage = try_cast_usage(part.get());
  ASSERT_TRUE(usage && *usage);
  EXPECT_EQ((*usage)->get(), part.get());

  auto none = try_cast_usage(bare("Element").get());
  ASSERT_TRUE(none);
  EXPECT_FALSE(*none);

  run_python(
      "class OddElement(core.Element):\n"
      "    def try_cast(self, cls): return 5\n"
      "    def isinstance(self, cls): return 1\n"
      "class RaisingElement(core.Element):\n"
      "    def try_cast(self, cls): raise KeyError('engine')\n");
  auto odd = try_cast_usage(eval_python("OddElement.__new__(OddElement)").get());
  ASSERT_FALSE(odd);
  auto* cast_error = std::get_if<EngineCastError>(&odd.error().error);
  ASSERT_NE(cast_error, nullptr);
  EXPECT_EQ(cast_error->message(), "'int' object is not an instance of 'Usage'");

  auto raised = try_cast_usage(eval_python("RaisingElement.__new__(RaisingElement)").get());
  ASSERT_FALSE(raised);
  auto* exception = std::get_if<EngineException>(&raised.error().error);
  ASSERT_NE(exception, nullptr);
  EXPECT_TRUE(PyErr_GivenExceptionMatches(exception->instance().get(), PyExc_KeyError));
  EXPECT_EQ(PyErr_Occurred(), nullptr);

  auto definition = isinstance_definition(bare("PartDefinition").get());
  ASSERT_TRUE(definition);
  EXPECT_TRUE(*definition);
  auto odd_bool = isinstance_definition(eval_python("OddElement.__new__(OddElement)").get());
  ASSERT_FALSE(odd_bool);
  EXPECT_EQ(std::get<EngineCastError>(odd_bool.error().error).message(), "'int' object is not an instance of 'bool'");
}

TEST(EngineCast, UpcastsKeepTheObjectAndItsCount) {
  ObjectRef object = bare("AllocationUsage");
  ConnectionUsage handle = *extract_connection_usage(object);
  Py_ssize_t count = Py_REFCNT(object.get());
  Borrowed<tags::ConnectorAsUsage> view = as_connector_as_usage(handle);
  EXPECT_EQ(view.get(), object.get());
  Element element = into_element(std::move(handle));
  EXPECT_EQ(element.get(), object.get());
  EXPECT_EQ(Py_REFCNT(object.get()), count);
}

// Cells over a module that the tests create (and hide) themselves.
class ProbeModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::filesystem::temp_directory_path() / ("plovik_probe_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    run_python("import sys; sys.path.insert(0, " + quoted(dir_.string()) + ")");
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }
  static void write_module(const std::string& name, const std::string& source) {
    std::ofstream(dir_ / (name + ".py")) << source;
    run_python("import importlib; importlib.invalidate_caches()");
  }
  static std::string quoted(const std::string& text) { return "r'" + text + "'"; }
  static inline std::filesystem::path dir_;
};

TEST_F(ProbeModule, MissingModuleGivesNoneUntilItCanBeImported) {
  static EngineClassCell cell("plovik_probe_late", "Probe");
  ObjectRef object = eval_python("object()");
  EXPECT_EQ(detail::class_or_none(cell).get(), Py_None);
  EXPECT_FALSE(detail::instance_of(cell, object.get()));
  auto failed = detail::extract(cell, ObjectRef::borrow(Py_None));
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().message(), "'None' is not an instance of 'None'");
  EXPECT_EQ(PyErr_Occurred(), nullptr);

  write_module("plovik_probe_late", "class Probe: pass\n");
  EXPECT_NE(detail::class_or_none(cell).get(), Py_None);
  EXPECT_TRUE(detail::instance_of(cell, eval_python("__import__('plovik_probe_late').Probe()").get()));
}

TEST_F(ProbeModule, RaisingInstanceCheckIsFalseAndLeavesNoException) {
  write_module("plovik_probe_raising",
               "class Meta(type):\n"
               "    def __instancecheck__(cls, obj): raise RuntimeError('no')\n"
               "class Probe(metaclass=Meta): pass\n"
               "NotAClass = 3\n");
  static EngineClassCell cell("plovik_probe_raising", "Probe");
  EXPECT_FALSE(detail::instance_of(cell, eval_python("1").get()));
  EXPECT_EQ(PyErr_Occurred(), nullptr);
  static EngineClassCell not_a_class("plovik_probe_raising", "NotAClass");
  EXPECT_EQ(detail::class_or_none(not_a_class).get(), Py_None);
  EXPECT_EQ(PyErr_Occurred(), nullptr);
}

TEST_F(ProbeModule, TwoThreadsFirstUseImportOnce) {
  write_module("plovik_probe_slow",
               "import builtins, time\n"
               "builtins.plovik_probe_imports = getattr(builtins, 'plovik_probe_imports', 0) + 1\n"
               "time.sleep(0.05)\n"
               "class Probe: pass\n");
  static EngineClassCell cell("plovik_probe_slow", "Probe");
  PyObject* seen[2] = {nullptr, nullptr};
  {
    PyThreadState* saved = PyEval_SaveThread();
    std::thread a([&] {
      PyGILState_STATE gil = PyGILState_Ensure();
      seen[0] = cell.get();
      PyGILState_Release(gil);
    });
    std::thread b([&] {
      PyGILState_STATE gil = PyGILState_Ensure();
      seen[1] = cell.get();
      PyGILState_Release(gil);
    });
    a.join();
    b.join();
    PyEval_RestoreThread(saved);
  }
  ASSERT_NE(seen[0], nullptr);
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_EQ(PyLong_AsLong(eval_python("__import__('builtins').plovik_probe_imports").get()), 1);
}

TEST(ObjectRefRelease, DroppedWithoutTheGilIsQueuedUntilDrained) {
  ObjectRef object = eval_python("object()");
  Py_ssize_t count = Py_REFCNT(object.get());
  {
    ObjectRef copy = object;
    PyThreadState* saved = PyEval_SaveThread();
    std::thread([moved = std::move(copy)]() mutable { ObjectRef dropped = std::move(moved); }).join();
    PyEval_RestoreThread(saved);
  }
  EXPECT_EQ(Py_REFCNT(object.get()), count + 1);
  drain_pending_releases();
  EXPECT_EQ(Py_REFCNT(object.get()), count);
}

}  // namespace
}  // namespace plovik::api
