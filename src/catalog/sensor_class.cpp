#include "catalog/sensor_class.h"

namespace vantix {

const char* SensorClassName(SensorClass sensorClass) {
    switch (sensorClass) {
        case SensorClass::MT9F001: return "CSensorMT9F001";
        case SensorClass::MT9F002: return "CSensorMT9F002";
        case SensorClass::MT9P001: return "CSensorMT9P001";
        case SensorClass::MT9J001: return "CSensorMT9J001";
        case SensorClass::ICX274: return "CSensorICX274";
        case SensorClass::Q105: return "CSensorQ105";
        case SensorClass::Q106: return "CSensorQ106";
        case SensorClass::Q107: return "CSensorQ107";
        case SensorClass::IMX178: return "CSensorIMX178";
        case SensorClass::IMX174: return "CSensorIMX174";
        case SensorClass::IMX183: return "CSensorIMX183";
        case SensorClass::IMX159: return "CSensorIMX159";
        case SensorClass::IMX250: return "CSensorIMX250";
        case SensorClass::IMX264: return "CSensorIMX264";
        case SensorClass::IMX252: return "CSensorIMX252";
        case SensorClass::IMX226: return "CSensorIMX226";
        case SensorClass::IMX990: return "CSensorIMX990";
        case SensorClass::IMX991: return "CSensorIMX991";
        case SensorClass::IMX536: return "CSensorIMX536";
        case SensorClass::IMX487: return "CSensorIMX487";
        case SensorClass::IMX273: return "CSensorIMX273";
        case SensorClass::LI7050: return "CSensorLI7050";
        case SensorClass::GLUX9701: return "CSensorGLUX9701";
        case SensorClass::Q112: return "CSensorQ112";
        case SensorClass::Q113: return "CSensorQ113";
        case SensorClass::Q119: return "CSensorQ119";
        case SensorClass::Q120: return "CSensorQ120";
        case SensorClass::Q121: return "CSensorQ121";
        case SensorClass::Q123: return "CSensorQ123";
        case SensorClass::Q114: return "CSensorQ114";
        case SensorClass::Q115: return "CSensorQ115";
        case SensorClass::Q116: return "CSensorQ116";
        case SensorClass::Q117: return "CSensorQ117";
        case SensorClass::Q118: return "CSensorQ118";
        case SensorClass::Q122: return "CSensorQ122";
        case SensorClass::G1467x: return "CSensorG1467x";
    }
    return "CSensor?";
}

}  // namespace vantix
