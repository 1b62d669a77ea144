#pragma once

#include "model/ByteOrder.h"

namespace orvex {

// The link reads and writes the same big-endian wire numbers as the store's packed records.
using byteorder::BitsFloat;
using byteorder::FloatBits;
using byteorder::ReadBe16;
using byteorder::ReadBe32;
using byteorder::ReadBeFloat;
using byteorder::ReadLe32;
using byteorder::WriteBe16;
using byteorder::WriteBe32;
using byteorder::WriteBeFloat;
using byteorder::WriteLe32;

} // namespace orvex
