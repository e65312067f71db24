// The expression evaluator on arbitrary text against a small set of
// variables in all three scopes (integers, strings, arrays, objects).
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "scriptdata/ZelCalculationLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::ResetErrors();
    TZelCalculation calc;
    calc.Declare("a", "int", false, 255, scGlobal, rkInteger, 0);
    calc.Declare("b", "int", false, 255, scSystem, rkInteger, 0);
    calc.Declare("s", "str", false, 255, scGlobal, rkString, 0);
    calc.Declare("m[3,4]", "int", false, 255, scGlobal, rkInteger, 0);
    calc.Declare("t[2,2,2,2]", "str", false, 255, scLocal, rkString, 1);
    calc.Declare("o", "obj", true, 255, scGlobal, rkObject, 0);
    calc.Declare("ro", "int", false, 1, scGlobal, rkInteger, 0);
    calc.Assign("a", 1, TReturnValue::Integer(7));
    calc.Assign("s", 1, TReturnValue::String("text"));

    const std::string_view text = zelfuzz::AsText(data, size);
    const TReturnValue v = calc.Evaluate(text, 1);
    if (v.Kind > rkError) __builtin_trap();
    calc.EvaluateToken(text, 1);
    return 0;
}
