#include <cmath>

#include "api/LcdText.h"
#include "api/Tolmaren_basestation_api.h"

// Switches are written as 1/0; getters report whether the register is nonzero.
unsigned int Tolmaren_basestation_api::tolmaren_setBSSwHbeat(bool on) {
    if (datamodel_ == nullptr) return 1;
    datamodel_->tolmaren_cfg.bs_sw_hbeat.write(on ? 1u : 0u);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_getBSSwHbeat(bool& on) {
    if (datamodel_ == nullptr) return 1;
    on = datamodel_->tolmaren_cfg.bs_sw_hbeat.read() != 0;
    return 0;
}

unsigned int Tolmaren_basestation_api::setNeuralStart(bool on) {
    if (datamodel_ == nullptr) return 1;
    datamodel_->deserializer_intf.neural_start.write(on ? 1u : 0u);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_getNeuralStart(bool& on) {
    if (datamodel_ == nullptr) return 1;
    on = datamodel_->deserializer_intf.neural_start.read() != 0;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_triggerMode(bool on) {
    if (datamodel_ == nullptr) return 1;
    datamodel_->deserializer_intf.startTrigger_output_enable.write(on ? 1u : 0u);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_getTriggerMode(bool& on) {
    if (datamodel_ == nullptr) return 1;
    on = datamodel_->deserializer_intf.startTrigger_output_enable.read() != 0;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_setSyncExtStart(bool on) {
    if (datamodel_ == nullptr) return 1;
    datamodel_->deserializer_intf.sync_ext_start.write(on ? 1u : 0u);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_getSyncExtStart(bool& on) {
    if (datamodel_ == nullptr) return 1;
    on = datamodel_->deserializer_intf.sync_ext_start.read() != 0;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_supplyBS(bool on) {
    if (datamodel_ == nullptr) return 1;
    datamodel_->tolmaren_cfg.supply.write(on ? 1u : 0u);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_getSupplyBS(bool& on) {
    if (datamodel_ == nullptr) return 1;
    on = datamodel_->tolmaren_cfg.supply.read() != 0;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_setDataZeroing(bool on) {
    if (datamodel_ == nullptr) return 1;
    datamodel_->deserializer_intf.data_zeroing.write(on ? 1u : 0u);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_getDataZeroing(bool& on) {
    if (datamodel_ == nullptr) return 1;
    on = datamodel_->deserializer_intf.data_zeroing.read() != 0;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_setLockChecking(bool on) {
    if (datamodel_ == nullptr) return 1;
    datamodel_->deserializer_intf.lock_checking.write(on ? 1u : 0u);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_getLockChecking(bool& on) {
    if (datamodel_ == nullptr) return 1;
    on = datamodel_->deserializer_intf.lock_checking.read() != 0;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_setBypassDatapath(bool on) {
    if (datamodel_ == nullptr) return 1;
    datamodel_->tolmaren_cfg.bypass_datapath.write(on ? 1u : 0u);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_getBSVersion(unsigned char& value) {
    if (datamodel_ == nullptr) return 1;
    value = static_cast<unsigned char>(datamodel_->tolmaren_cfg.bs_version.read() & 0xFF);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_getBSRevision(unsigned char& value) {
    if (datamodel_ == nullptr) return 1;
    value = static_cast<unsigned char>(datamodel_->tolmaren_cfg.bs_revision.read() & 0xFF);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_datamode(bool electrodeData) {
    if (datamodel_ == nullptr) return 1;
    datamode_ = electrodeData;
    datamodel_->tolmaren_cfg.datamode.write(electrodeData ? 1u : 0u);
    return 0;
}

bool Tolmaren_basestation_api::tolmaren_getDatamode() {
    return datamode_;
}

unsigned int Tolmaren_basestation_api::tolmaren_readDatamodeFromBS(bool& electrodeData) {
    if (datamodel_ == nullptr) return 1;
    electrodeData = datamodel_->tolmaren_cfg.datamode.read() != 0;
    datamode_ = electrodeData;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_resetDatapath() {
    if (datamodel_ == nullptr) return 1;
    datamodel_->tolmaren_cfg.datapath_reset.write(1);
    // Whatever the link held belongs to the stream before the reset.
    tolmaren_flushData();
    datamodel_->tolmaren_cfg.datapath_reset.write(0);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_setNeuralStart() {
    if (datamodel_ == nullptr) return 0;
    if (datamodel_->deserializer_intf.startTrigger_output_enable.read() == 0) return 0;
    datamodel_->deserializer_intf.neural_start.write(0);
    if (tolmaren_resetDatapath() != 0) return 1;
    datamodel_->deserializer_intf.neural_start.write(1);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_checkBasestationDatapath() {
    // Without a register map there is nothing to check; report it with the
    // guard code rather than as a healthy datapath.
    if (datamodel_ == nullptr) return 1;
    const t_deserializer_intf& deser = datamodel_->deserializer_intf;
    const struct {
        const SingleAddress& reg;
        unsigned int code;
    } checks[] = {{datamodel_->dma.dma_error, 1}, {deser.test9_result0, 2},
                  {deser.test9_result2, 3},       {deser.test7_error_counter, 4},
                  {deser.test9_result4, 5},       {deser.test9_result5, 5},
                  {deser.test9_result6, 5},       {deser.test9_result7, 5}};
    for (const auto& check : checks)
        if (check.reg.read() != 0) return check.code;
    return 0;
}

float Tolmaren_basestation_api::tolmaren_fifoFilling() {
    // Without a register map there is no FIFO to fill.
    if (datamodel_ == nullptr) return 0.0f;
    const auto raw = static_cast<uint32_t>(datamodel_->dma.fifo_filling.read());
    // 2^28 stands for a full FIFO.
    return static_cast<float>(raw) * 100.0f * (1.0f / 268435456.0f);
}

unsigned int Tolmaren_basestation_api::tolmaren_enableBasestationGenerator(bool enable,
                                                                           unsigned char parameter,
                                                                           unsigned int exponent) {
    if (datamodel_ == nullptr) return 1;
    datamodel_->data_generator.param.write(parameter);
    datamodel_->data_generator.pow2_param.write(1u << (exponent & 31u));
    datamodel_->data_generator.enable.write(enable ? 1u : 0u);
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_getBasestationGeneratorEnabled(
    bool& enable, unsigned char& parameter, unsigned int& exponent) {
    if (datamodel_ == nullptr) return 1;
    parameter = static_cast<unsigned char>(datamodel_->data_generator.param.read() & 0xFF);
    const auto pow2 = static_cast<uint32_t>(datamodel_->data_generator.pow2_param.read());
    // A cleared register holds no power of two; its logarithm would be minus
    // infinity, so it reads as exponent 0.
    exponent = pow2 == 0 ? 0u : static_cast<unsigned int>(std::log2(static_cast<double>(pow2)));
    enable = datamodel_->data_generator.enable.read() != 0;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_readTemperature(float& celsius) {
    if (datamodel_ == nullptr) return 1;
    const auto code = static_cast<uint32_t>(datamodel_->tolmaren_cfg.temperature.read());
    celsius = static_cast<float>(code) * 503.975f * (1.0f / 4096.0f) - 273.15f;
    return 0;
}

unsigned int Tolmaren_basestation_api::tolmaren_writeLCD(std::string line1, std::string line2) {
    if (logging()) log_ << "tolmaren_writeLCD(" << line1 << "," << line2 << ") called \n";
    if (configLink_ == nullptr || datamodel_ == nullptr) return 1;
    // Both lines are checked before anything is written.
    if (line1.size() != LcdText::lineLength || line2.size() != LcdText::lineLength) return 3;
    const auto first = LcdText::registerWords(line1);
    const auto second = LcdText::registerWords(line2);
    t_lcd_control& lcd = datamodel_->lcd_control;
    const SingleAddress* registers[] = {&lcd.lcd_text0, &lcd.lcd_text1, &lcd.lcd_text2,
                                        &lcd.lcd_text3, &lcd.lcd_text4, &lcd.lcd_text5,
                                        &lcd.lcd_text6, &lcd.lcd_text7};
    for (std::size_t i = 0; i < 4; ++i)
        registers[i]->write(first[i]);
    for (std::size_t i = 0; i < 4; ++i)
        registers[4 + i]->write(second[i]);
    return 0;
}
