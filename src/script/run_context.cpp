#include "script/run_context.h"

#include "base/path_utils.h"
#include "platform/file_exists.h"

namespace dfm {

void RunContext::BeginLine(std::string text) {
  ++line_number_;
  line_ = std::move(text);
  words_.clear();
  announced_ = false;
}

void RunContext::Log(const std::string& message) {
  env_.window.AddLogEntry(message, !logged_);
  logged_ = true;
}

void RunContext::Announce(const std::string& message) {
  Log(message);
  AddOperation();
  announced_ = true;
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

std::optional<std::string> RunContext::ResolveTarget() {
  auto target = env_.tokens.Resolve(Word(3));
  if (target) return std::move(*target);
  if (announced_)
    ReportFailure(target.failure());
  else
    ReportLineFailure(target.failure());
  return std::nullopt;
}

bool RunContext::Step(const Status& status) {
  if (!status.ok()) ReportFailure(status.failure());
  return status.ok();
}

}  // namespace dfm
