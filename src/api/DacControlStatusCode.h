#pragma once

// What the headstage's signal generator puts out, as tolmaren_getDacControl
// reports it.
enum class DacControlStatusCode { Off = 0, DcOutput = 1, SineOutput = 2 };
