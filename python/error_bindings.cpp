// tolmaren.Error: every failure of the library or the tools as one Python
// exception, with the facade's status code and operation when there is one.
#include "Bindings.h"
#include "link/FileDescriptor.h"
#include "recording/SettingError.h"
#include "recording/StatusError.h"
#include "vci/VciInterface.h"

namespace py = pybind11;

namespace {

// Never freed: the translator can run until the interpreter ends, after the
// module's statics would have been destroyed.
py::exception<tolmaren_recording::ToolError>* errorType = nullptr;

py::object instance(const std::string& message, py::object code, py::object operation) {
    // Called as a type (not as pybind11::exception, which only sets a message),
    // to make an instance that carries the attributes.
    py::object error = static_cast<py::object&>(*errorType)(message);
    error.attr("code") = std::move(code);
    error.attr("operation") = std::move(operation);
    return error;
}

void translate(std::exception_ptr failure) {
    if (!failure) return;
    // A setting out of its range is a bad argument, as it is a bad command
    // line for the command-line tool.
    try {
        std::rethrow_exception(failure);
    } catch (const tolmaren_recording::SettingError& e) {
        PyErr_SetString(PyExc_ValueError, e.what());
        return;
    } catch (...) {
    }
    const py::object error = errorFor(failure);
    PyErr_SetObject(errorType->ptr(), error.ptr());
}

} // namespace

py::object errorFor(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const tolmaren_recording::StatusError& e) {
        return instance(e.what(), py::int_(e.code()), py::str(e.operation()));
    } catch (const tolmaren_recording::ToolError& e) {
        return instance(e.what(), py::none(), py::none());
    } catch (const VciInterface::Exception& e) {
        return instance(std::string("the basestation did not answer properly (") + e.what() + ")",
                        py::none(), py::none());
    } catch (const morvek::FileDescriptor::Exception& e) {
        return instance(std::string("the connection to the basestation failed (") + e.what() + ")",
                        py::none(), py::none());
    }
}

[[noreturn]] void raiseWith(std::exception_ptr failure, py::object data) {
    py::object error = errorFor(failure);
    error.attr("data") = std::move(data);
    PyErr_SetObject(errorType->ptr(), error.ptr());
    throw py::error_already_set();
}

void bindErrors(py::module_& module) {
    errorType =
        new py::exception<tolmaren_recording::ToolError>(module, "Error", PyExc_RuntimeError);
    errorType->attr("__doc__") =
        "A failed operation. str() says what failed in the words the command-line tool prints, "
        "for example 'tolmaren_setGain failed: writing the base chain to the probe failed (code "
        "4)', from the library's table of its status codes. `code` is the library's nonzero "
        "status code and `operation` the library call that returned it; both are None for "
        "failures without a status code (an unreadable file, a basestation that does not "
        "answer properly, a recording that ended early). `data`: what a read decoded before it "
        "failed, as a Data object, or the sidecar of a recording that ended early, as a dict; "
        "None for other failures. A setting out of its range raises ValueError instead, with "
        "the words the tool prints for it.";
    errorType->attr("code") = py::none();
    errorType->attr("operation") = py::none();
    errorType->attr("data") = py::none();
    py::register_exception_translator(translate);
}
