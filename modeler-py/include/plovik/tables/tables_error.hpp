// The error of table and matrix operations, the two cell messages and the
// imports of the engine's modules.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <variant>

#include "kestro/utils/error_sum.hpp"
#include "plovik/api/engine_classes.hpp"

namespace plovik::tables {

struct TablesErrorVariants {
  // An exception raised by the engine or the interpreter, passed on.
  struct Python {
    api::ObjectRef exception;
    friend bool operator==(const Python& a, const Python& b) { return a.exception.get() == b.exception.get(); }
  };
  struct Internal {
    std::string text;
    friend bool operator==(const Internal&, const Internal&) = default;
  };
  struct Message {
    std::string text;
    friend bool operator==(const Message&, const Message&) = default;
  };
  struct ModelHasErrors {
    std::string diagnostics;
    friend bool operator==(const ModelHasErrors&, const ModelHasErrors&) = default;
  };
  struct CellViewTypeCount {
    std::string view;
    std::uint64_t count;
    friend bool operator==(const CellViewTypeCount&, const CellViewTypeCount&) = default;
  };
  struct RootDefinitionCount {
    std::string view;
    std::uint64_t count;
    friend bool operator==(const RootDefinitionCount&, const RootDefinitionCount&) = default;
  };
  // The path text of the view asked for (not shown in the text).
  struct ViewNotFound {
    std::string path;
    friend bool operator==(const ViewNotFound&, const ViewNotFound&) = default;
  };
  struct LoadAborted {
    friend bool operator==(const LoadAborted&, const LoadAborted&) = default;
  };
  using Sum = std::variant<Python, Internal, Message, ModelHasErrors, CellViewTypeCount, RootDefinitionCount,
                           ViewNotFound, LoadAborted>;
};

class TablesError : public kestro::ErrorSum<TablesError, TablesErrorVariants> {
 public:
  using ErrorSum::ErrorSum;
  // The failure of an engine call, as the Python variant (a cast error
  // becomes the TypeError it stands for).
  static TablesError from_engine(const api::EngineError& error);

  static std::string text_of(const Python& v);
  static std::string text_of(const Internal& v);
  static std::string text_of(const Message& v);
  static std::string text_of(const ModelHasErrors& v);
  static std::string text_of(const CellViewTypeCount& v);
  static std::string text_of(const RootDefinitionCount& v);
  static std::string text_of(const ViewNotFound& v);
  static std::string text_of(const LoadAborted& v);
};

template <typename T>
using TablesResult = std::expected<T, TablesError>;

// Sets the error as the interpreter's current exception: a Python variant is
// raised again as itself, every other one as a RuntimeError with its text.
void raise_tables_error(const TablesError& error);

struct NamedCellMessage {
  std::string message;
  std::string name;
};

NamedCellMessage multiple_values_message(std::string name);
NamedCellMessage multiple_documentation_message(std::string_view name);

// `_plovik`, and `_plovik.<name>`, through the interpreter's import.
TablesResult<api::ObjectRef> import_engine();
TablesResult<api::ObjectRef> import_engine_module(std::string_view name);

}  // namespace plovik::tables
