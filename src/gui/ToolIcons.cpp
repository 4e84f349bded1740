#include "ToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

void DrawDisk(QPainter& p, const QColor& body) {
    p.setBrush(body);
    p.drawRect(3, 3, 18, 18);
    p.setBrush(Qt::white);
    p.drawRect(7, 3, 10, 7);
    p.setBrush(QColor(60, 60, 60));
    p.drawRect(7, 14, 10, 7);
}

void DrawIcon(QPainter& p, int bitmap) {
    p.setPen(QPen(QColor(30, 30, 30), 1.2));
    switch (bitmap) {
        case 602: {  // open: a folder with a trace leaving it
            p.setBrush(QColor(240, 200, 80));
            p.drawRect(2, 8, 20, 13);
            p.drawRect(2, 5, 8, 3);
            p.setPen(QPen(QColor(200, 30, 30), 1.6));
            p.drawPolyline(QPolygon({{4, 15}, {8, 15}, {10, 10}, {12, 19}, {14, 14}, {20, 14}}));
            break;
        }
        case 603:  // save as
            DrawDisk(p, QColor(60, 110, 200));
            break;
        case 604: {  // append: disk with a plus
            DrawDisk(p, QColor(60, 160, 90));
            p.setPen(QPen(Qt::white, 2.5));
            p.drawLine(12, 5, 12, 11);
            p.drawLine(9, 8, 15, 8);
            break;
        }
        case 610: {  // print
            p.setBrush(Qt::white);
            p.drawRect(6, 2, 12, 8);
            p.setBrush(QColor(150, 150, 160));
            p.drawRect(2, 9, 20, 9);
            p.setBrush(Qt::white);
            p.drawRect(6, 15, 12, 7);
            break;
        }
        case 611: {  // convert text to signal
            p.setFont(QFont("DejaVu Sans", 8, QFont::Bold));
            p.drawText(QRect(0, 1, 12, 12), Qt::AlignCenter, "T");
            p.drawLine(6, 13, 14, 19);
            p.drawLine(14, 19, 10, 19);
            p.drawLine(14, 19, 14, 15);
            p.setPen(QPen(QColor(200, 30, 30), 1.6));
            p.drawPolyline(QPolygon({{12, 8}, {15, 8}, {17, 3}, {19, 11}, {22, 8}}));
            break;
        }
        case 612: {  // names at the left edge
            p.setPen(QPen(QColor(0, 90, 200), 2));
            p.drawLine(2, 2, 2, 22);
            p.setFont(QFont("DejaVu Sans", 7, QFont::Bold));
            p.setPen(QColor(30, 30, 30));
            p.drawText(QRect(4, 2, 20, 10), Qt::AlignLeft | Qt::AlignVCenter, "V1");
            p.drawText(QRect(4, 12, 20, 10), Qt::AlignLeft | Qt::AlignVCenter, "II");
            break;
        }
        case 613: {  // amplitude: a beat with its peak-to-peak span
            p.setPen(QPen(QColor(200, 30, 30), 1.6));
            p.drawPolyline(QPolygon({{1, 14}, {7, 14}, {10, 3}, {13, 21}, {16, 14}, {23, 14}}));
            p.setPen(QPen(QColor(0, 90, 200), 1.2));
            p.drawLine(20, 3, 20, 21);
            p.drawLine(18, 3, 22, 3);
            p.drawLine(18, 21, 22, 21);
            break;
        }
        case 600: {  // exit: a door with an arrow out
            p.setBrush(QColor(150, 100, 60));
            p.drawRect(3, 2, 11, 20);
            p.setPen(QPen(QColor(200, 30, 30), 2));
            p.drawLine(10, 12, 22, 12);
            p.drawLine(22, 12, 18, 8);
            p.drawLine(22, 12, 18, 16);
            break;
        }
        case 601: {  // help
            p.setBrush(QColor(0, 110, 200));
            p.drawEllipse(2, 2, 20, 20);
            p.setPen(Qt::white);
            p.setFont(QFont("DejaVu Sans", 11, QFont::Bold));
            p.drawText(QRect(2, 2, 20, 20), Qt::AlignCenter, "?");
            break;
        }
        default:
            break;
    }
}

}  // namespace

QIcon ToolIcon(int bitmap) {
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    DrawIcon(p, bitmap);
    p.end();
    return QIcon(pm);
}
