#include "app/session.h"

#include <new>

#include "app/error_report.h"

namespace zephrane {

void ReportError(Session& session, std::string_view operationName, const RuntimeError& error) {
    const std::string text = ErrorReportText(error, operationName);
    if (text.empty()) return;
    ++session.errorReportsShown;
    session.platform.messages.ShowMessage(text);
}

RuntimeError AsRuntimeError(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const RuntimeError& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return RuntimeError(error_number::kOutOfMemory);
    } catch (const std::length_error&) {
        return RuntimeError(error_number::kOutOfMemory);
    } catch (const std::out_of_range&) {
        return RuntimeError(error_number::kSubscriptOutOfRange);
    } catch (const std::exception& other) {
        return RuntimeError(error_number::kInternalError, other.what());
    } catch (...) {
        return RuntimeError(error_number::kInternalError);
    }
}

}  // namespace zephrane
