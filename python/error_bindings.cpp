// tolmaren.Error: every failure of the library or the tools as one Python
// exception, with the facade's status code and operation when there is one.
#include "Bindings.h"
#include "link/FileDescriptor.h"
#include "tolmaren_tools/StatusError.h"
#include "vci/VciInterface.h"

namespace py = pybind11;

namespace {

// Never freed: the translator can run until the interpreter ends, after the
// module's statics would have been destroyed.
py::exception<tolmaren_tools::ToolError>* errorType = nullptr;

void raise(const std::string& message, py::object code, py::object operation) {
    // Called as a type (not as pybind11::exception, which only sets a message),
    // to make an instance that carries the attributes.
    py::object error = static_cast<py::object&>(*errorType)(message);
    error.attr("code") = std::move(code);
    error.attr("operation") = std::move(operation);
    PyErr_SetObject(errorType->ptr(), error.ptr());
}

void translate(std::exception_ptr failure) {
    try {
        if (failure) std::rethrow_exception(failure);
    } catch (const tolmaren_tools::StatusError& e) {
        raise(e.what(), py::int_(e.code()), py::str(e.operation()));
    } catch (const tolmaren_tools::ToolError& e) {
        raise(e.what(), py::none(), py::none());
    } catch (const VciInterface::Exception& e) {
        raise(std::string("the basestation did not answer properly (") + e.what() + ")", py::none(),
              py::none());
    } catch (const morvek::FileDescriptor::Exception& e) {
        raise(std::string("the connection to the basestation failed (") + e.what() + ")",
              py::none(), py::none());
    }
}

} // namespace

void bindErrors(py::module_& module) {
    errorType = new py::exception<tolmaren_tools::ToolError>(module, "Error", PyExc_RuntimeError);
    errorType->attr("__doc__") =
        "A failed operation. str() says what failed in the words the command-line tool prints, "
        "for example 'tolmaren_open failed: the basestation's configuration port (1235) refused "
        "the connection (code 2)'. `code` is the library's nonzero status code and `operation` "
        "the library call that returned it; both are None for failures without a status code "
        "(an unreadable file, a basestation that does not answer properly).";
    errorType->attr("code") = py::none();
    errorType->attr("operation") = py::none();
    py::register_exception_translator(translate);
}
