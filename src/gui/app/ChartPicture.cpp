// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ChartPicture.h"

#include <qcustomplot.h>
#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPrinter>
#include <QSvgGenerator>

#include "app/Messages.h"

namespace {
// A chart that was never shown has no size of its own: the picture gets the
// size of a typical chart window instead.
QSize PictureSize(const QCustomPlot *plot) {
  const QSize size = plot->size();
  return size.width() > 1 && size.height() > 1 ? size : QSize(640, 480);
}
}  // namespace

QMimeData *ChartMimeData(QCustomPlot *plot) {
  const QSize size = PictureSize(plot);

  QByteArray svg;
  {
    QBuffer buffer(&svg);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    QCPPainter painter;
    painter.begin(&generator);
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    plot->toPainter(&painter, size.width(), size.height());
    painter.end();
  }

  auto *data = new QMimeData;
  data->setData(QStringLiteral("image/svg+xml"), svg);
  const QImage image = plot->toPixmap(size.width(), size.height()).toImage();
  data->setImageData(image);
  // The bitmap also under its own type: programs that ask for image/png get
  // it whether or not the platform converts the image for them.
  QByteArray png;
  {
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
  }
  data->setData(QStringLiteral("image/png"), png);
  // Exporting at another size changed the layout: lay out for the screen again.
  plot->replot();
  return data;
}

void CopyChartToClipboard(QCustomPlot *plot) {
  QGuiApplication::clipboard()->setMimeData(ChartMimeData(plot));
}

void PrintChartPage(QCustomPlot *plot, QPrinter &printer) {
  const QSize size = PictureSize(plot);
  QCPPainter painter;
  if (!painter.begin(&printer)) RaiseError(QStringLiteral("Unable to print"));
  painter.setMode(QCPPainter::pmVectorized);
  painter.setMode(QCPPainter::pmNoCaching);
  const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
  painter.scale(page.width() / size.width(), page.height() / size.height());
  plot->toPainter(&painter, size.width(), size.height());
  painter.end();
  plot->replot();
}
