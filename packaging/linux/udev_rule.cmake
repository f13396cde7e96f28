# The udev rule that gives the user at the local seat access to the device's
# hidraw nodes. systemd's 73-seat-late.rules turns the uaccess tag into an ACL
# for the logged-in user, so the rule file must sort before it.
#
# Included: defines trelkey_udev_rule_text().
# Run as a script, it writes one rule file:
#   cmake -DVENDOR_ID=0x1209 -DPRODUCT_ID=0x4B53 -DOUTPUT=rule.rules -P udev_rule.cmake

# trelkey_udev_id(<out_var> <id>): a USB ID (0x hexadecimal or decimal) as
# udev's sysfs attributes show it, four lower-case hex digits without 0x.
function(trelkey_udev_id out_var id)
  if(NOT id MATCHES "^(0[xX][0-9A-Fa-f]+|[0-9]+)$")
    message(FATAL_ERROR "USB ID '${id}' is not a number")
  endif()
  math(EXPR value "${id}")
  if(value GREATER 65535)
    message(FATAL_ERROR "USB ID '${id}' does not fit in 16 bits")
  endif()
  math(EXPR hex "${value} + 65536" OUTPUT_FORMAT HEXADECIMAL)
  # 0x1XXXX: the digits after the leading 1 are the zero-padded four.
  string(SUBSTRING "${hex}" 3 4 digits)
  string(TOLOWER "${digits}" digits)
  set(${out_var} "${digits}" PARENT_SCOPE)
endfunction()

# trelkey_udev_rule_text(<out_var> <vendor id> <product id>)
function(trelkey_udev_rule_text out_var vendor product)
  trelkey_udev_id(vendor_digits "${vendor}")
  trelkey_udev_id(product_digits "${product}")
  string(CONCAT text
    "# trelkey: give the user at the local seat access to the trigger device's\n"
    "# hidraw nodes (${vendor_digits}:${product_digits}), so trelkey runs without root.\n"
    "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"${vendor_digits}\", ATTRS{idProduct}==\"${product_digits}\", TAG+=\"uaccess\"\n")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  trelkey_udev_rule_text(text "${VENDOR_ID}" "${PRODUCT_ID}")
  file(WRITE "${OUTPUT}" "${text}")
endif()
