// AVM1 action codes used by the code generator and the disassembler.
#pragma once

#include <cstdint>

namespace nxr::asc {

namespace op {
constexpr uint8_t End = 0x00;
constexpr uint8_t NextFrame = 0x04;
constexpr uint8_t PrevFrame = 0x05;
constexpr uint8_t Play = 0x06;
constexpr uint8_t Stop = 0x07;
constexpr uint8_t Add = 0x0A;
constexpr uint8_t Subtract = 0x0B;
constexpr uint8_t Multiply = 0x0C;
constexpr uint8_t Divide = 0x0D;
constexpr uint8_t Not = 0x12;
constexpr uint8_t Pop = 0x17;
constexpr uint8_t ToInteger = 0x18;
constexpr uint8_t GetVariable = 0x1C;
constexpr uint8_t SetVariable = 0x1D;
constexpr uint8_t StringAdd = 0x21;
constexpr uint8_t CloneSprite = 0x24;
constexpr uint8_t RemoveSprite = 0x25;
constexpr uint8_t Trace = 0x26;
constexpr uint8_t StartDrag = 0x27;
constexpr uint8_t EndDrag = 0x28;
constexpr uint8_t Throw = 0x2A;
constexpr uint8_t RandomNumber = 0x30;
constexpr uint8_t CharToAscii = 0x32;
constexpr uint8_t AsciiToChar = 0x33;
constexpr uint8_t GetTime = 0x34;
constexpr uint8_t Delete = 0x3A;
constexpr uint8_t Delete2 = 0x3B;
constexpr uint8_t DefineLocal = 0x3C;
constexpr uint8_t CallFunction = 0x3D;
constexpr uint8_t Return = 0x3E;
constexpr uint8_t Modulo = 0x3F;
constexpr uint8_t NewObject = 0x40;
constexpr uint8_t DefineLocal2 = 0x41;
constexpr uint8_t InitArray = 0x42;
constexpr uint8_t InitObject = 0x43;
constexpr uint8_t TypeOf = 0x44;
constexpr uint8_t Enumerate2 = 0x55;
constexpr uint8_t Add2 = 0x47;
constexpr uint8_t Less2 = 0x48;
constexpr uint8_t Equals2 = 0x49;
constexpr uint8_t ToNumber = 0x4A;
constexpr uint8_t ToString = 0x4B;
constexpr uint8_t PushDuplicate = 0x4C;
constexpr uint8_t StackSwap = 0x4D;
constexpr uint8_t GetMember = 0x4E;
constexpr uint8_t SetMember = 0x4F;
constexpr uint8_t Increment = 0x50;
constexpr uint8_t Decrement = 0x51;
constexpr uint8_t CallMethod = 0x52;
constexpr uint8_t NewMethod = 0x53;
constexpr uint8_t InstanceOf = 0x54;
constexpr uint8_t BitAnd = 0x60;
constexpr uint8_t BitOr = 0x61;
constexpr uint8_t BitXor = 0x62;
constexpr uint8_t BitLShift = 0x63;
constexpr uint8_t BitRShift = 0x64;
constexpr uint8_t BitURShift = 0x65;
constexpr uint8_t StrictEquals = 0x66;
constexpr uint8_t Greater = 0x67;
constexpr uint8_t GotoFrame = 0x81;
constexpr uint8_t GetURL = 0x83;
constexpr uint8_t StoreRegister = 0x87;
constexpr uint8_t ConstantPool = 0x88;
constexpr uint8_t GoToLabel = 0x8C;
constexpr uint8_t DefineFunction2 = 0x8E;
constexpr uint8_t Try = 0x8F;
constexpr uint8_t Push = 0x96;
constexpr uint8_t Jump = 0x99;
constexpr uint8_t GetURL2 = 0x9A;
constexpr uint8_t DefineFunction = 0x9B;
constexpr uint8_t If = 0x9D;
constexpr uint8_t GotoFrame2 = 0x9F;
}  // namespace op

// Name of an action for the disassembler; nullptr for an unknown code.
const char* actionName(uint8_t code);

// DefineFunction2 flags.
namespace fn2 {
constexpr uint16_t PreloadThis = 0x0001;
constexpr uint16_t SuppressThis = 0x0002;
constexpr uint16_t PreloadArguments = 0x0004;
constexpr uint16_t SuppressArguments = 0x0008;
constexpr uint16_t PreloadSuper = 0x0010;
constexpr uint16_t SuppressSuper = 0x0020;
constexpr uint16_t PreloadRoot = 0x0040;
constexpr uint16_t PreloadParent = 0x0080;
constexpr uint16_t PreloadGlobal = 0x0100;
}  // namespace fn2

// ActionTry flags.
namespace tryflag {
constexpr uint8_t HasCatch = 0x01;
constexpr uint8_t HasFinally = 0x02;
constexpr uint8_t CatchInRegister = 0x04;
}  // namespace tryflag

}  // namespace nxr::asc
