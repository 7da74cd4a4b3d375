#include "app/session.h"

#include <new>

#include "app/error_report.h"

namespace zephrane {

void ReportError(Session& session, std::string_view operationName, const RuntimeError& error) {
    const std::string text = ErrorReportText(error, operationName);
    if (text.empty()) return;
    ++session.said.errorReports;
    if (!session.said.report) session.said.report = text;
    session.platform.messages.ShowMessage(text);
}

void Refuse(Session& session, const std::string& message) {
    if (!session.said.refusal) session.said.refusal = message;
    session.platform.messages.ShowMessage(message);
}

CommandResult ResultOf(const Session::Said& said, bool done) {
    if (said.report) return {Outcome::Failed, *said.report};
    if (done) return {Outcome::Done, ""};
    if (said.refusal) return {Outcome::Refused, *said.refusal};
    return {Outcome::Cancelled, ""};
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
