// eeprom library
