/* The libusb-0.1 interface as libusb-win32 declares it, limited to the types
 * and functions this program uses, under the name libusb-win32 gives its
 * header (Windows has a usb.h of its own). Only for builds for Windows that
 * do not have libusb-win32's header: the layout of the bus and device records
 * follows libusb-win32 (512-byte names; the descriptors and the bus and
 * device records all byte-packed, as libusb-win32 declares them between its
 * pshpack1/poppack pair), so that the logic compiled against this header walks
 * the lists that libusb-win32's DLL builds. */
#ifndef VELKARN_LUSB0_USB_H
#define VELKARN_LUSB0_USB_H

#ifdef __cplusplus
extern "C" {
#endif

#define LIBUSB_PATH_MAX 512

#define USB_DT_DEVICE 0x01
#define USB_DT_DEVICE_SIZE 18

#pragma pack(push, 1)

struct usb_device_descriptor {
    unsigned char bLength;
    unsigned char bDescriptorType;
    unsigned short bcdUSB;
    unsigned char bDeviceClass;
    unsigned char bDeviceSubClass;
    unsigned char bDeviceProtocol;
    unsigned char bMaxPacketSize0;
    unsigned short idVendor;
    unsigned short idProduct;
    unsigned short bcdDevice;
    unsigned char iManufacturer;
    unsigned char iProduct;
    unsigned char iSerialNumber;
    unsigned char bNumConfigurations;
};

struct usb_config_descriptor;
struct usb_bus;

struct usb_device {
    struct usb_device *next, *prev;
    char filename[LIBUSB_PATH_MAX];
    struct usb_bus *bus;
    struct usb_device_descriptor descriptor;
    struct usb_config_descriptor *config;
    void *dev;
    unsigned char devnum;
    unsigned char num_children;
    struct usb_device **children;
};

struct usb_bus {
    struct usb_bus *next, *prev;
    char dirname[LIBUSB_PATH_MAX];
    struct usb_device *devices;
    unsigned long location;
    struct usb_device *root_dev;
};

struct usb_dev_handle;
typedef struct usb_dev_handle usb_dev_handle;

#pragma pack(pop)

void usb_init(void);
int usb_find_busses(void);
int usb_find_devices(void);
struct usb_bus *usb_get_busses(void);
usb_dev_handle *usb_open(struct usb_device *dev);
int usb_close(usb_dev_handle *dev);
int usb_control_msg(usb_dev_handle *dev, int requesttype, int request, int value, int index,
                    char *bytes, int size, int timeout);

#ifdef __cplusplus
}
#endif

#endif
