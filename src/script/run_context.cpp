#include "script/run_context.h"

#include "base/path_utils.h"
#include "platform/file_exists.h"

namespace dfm {

void RunContext::BeginLine(std::string text) {
  ++line_number_;
  line_ = std::move(text);
  words_.clear();
}

void RunContext::Log(const std::string& message) {
  env_.window.AddLogEntry(message, !logged_);
  logged_ = true;
}

void RunContext::Announce(const std::string& message) {
  Log(message);
  AddOperation();
}

void RunContext::RefuseLine() {
  Log("Error: Invalid Or Missing Command Parameter On Line: " + std::to_string(line_number_) +
      ", Command: \"" + (words_.empty() ? std::string() : words_.front()) + "\"");
  AddError();
  AddOperation();
}

void RunContext::ReportNotFound(const std::string& path) {
  Log("Error: File Not Found! ( " + path + " ), Operation could not be completed!");
  AddError();
}

bool RunContext::RequireFile(const std::string& path) {
  if (FileExists(fs(), dialogs(), path)) return true;
  ReportNotFound(path);
  return false;
}

void RunContext::ReportFailure(const Failure& failure) {
  Log("Error Occured In Line #" + std::to_string(line_number_) + ", LineCode: \"" + line_ +
      "\" Error: " + failure.description + ", #" + std::to_string(failure.code));
  AddError();
}

void RunContext::ReportLineFailure(const Failure& failure) {
  ReportFailure(failure);
  AddOperation();
}

bool RunContext::Step(const Status& status) {
  if (!status.ok()) ReportFailure(status.failure());
  return status.ok();
}

}  // namespace dfm
