#include "scriptdata/ObjectCommands.h"

namespace zel {

std::string_view ICommandContext::Field(size_t i) const {
    const std::vector<std::string>* f = Command().Fields;
    return f && i < f->size() ? std::string_view((*f)[i]) : std::string_view();
}

int32_t ICommandContext::IntArg(size_t i) { return i < FieldCount() ? Evaluate(Field(i)).IntValue : 0; }

std::string ICommandContext::StrArg(size_t i) { return i < FieldCount() ? Evaluate(Field(i)).Text : std::string(); }

}  // namespace zel
